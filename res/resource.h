// Resource identifiers of setup.exe.
#pragma once

#define IDR_MAINFRAME 128   // the application icon
#define IDI_PROGRESS 129    // named by the progress dialog; deliberately not in the resources

#define IDD_SETUP_DIALOG 102
#define IDD_TERMS 103
#define IDD_DECOMPRESS 104
#define IDD_DESTDIR 105

#define IDC_TERMS_TEXT 1000
#define IDC_DEST_DIR 1001
#define IDC_STATUS 1002
#define IDC_PROGRESS 1003
#define IDC_WELCOME_TEXT 1004
