#pragma once
// Ids of the resources built from tovira.rc that code refers to by number.

#define IDD_VERSION 200
#define IDC_VERSION_PRODUCT 201  // label1
#define IDC_VERSION_CORP 202     // lbl_Corp
#define IDC_VERSION_WEB 203      // label3
#define IDC_VERSION_PICTURE 204  // pictureBox1
#define IDC_VERSION_NAME 205     // lbl_Name
#define IDC_VERSION_VERSION 206  // lbl_Version
