#pragma once
// The one place the program's version lives; the version resource reads it.

#define TOVIRA_VERSION_BINARY 1, 0, 1, 0
#define TOVIRA_VERSION_TEXT "1, 0, 1, 0"
#define TOVIRA_PRODUCT_NAME "Tovira"
// Placeholder maker's line until the product owner supplies the real one.
#define TOVIRA_COMPANY_NAME "brelkin (placeholder)"
// Placeholder web address until the maker supplies the real one.
#define TOVIRA_COMPANY_WEB "https://brelkin.example/"
