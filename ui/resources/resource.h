#pragma once
// Ids of the resources built from tovira.rc that code refers to by number.

#define IDD_VERSION 200
#define IDC_VERSION_PRODUCT 201  // the product's name
#define IDC_VERSION_CORP 202     // the maker's name, from the version information
#define IDC_VERSION_WEB 203      // the maker's web address
#define IDC_VERSION_PICTURE 204
#define IDC_VERSION_NAME 205     // the target mode's label
#define IDC_VERSION_VERSION 206  // "Version: " and the product version
