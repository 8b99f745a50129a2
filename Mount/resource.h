// Identifiers of the program's dialogs, controls, labels, menu commands and
// resources. This file is also carried in the resources (type HEADER, id 612):
// at start-up every "#define NAME NUMBER" line maps a control id to the
// language text of NAME, so keep one identifier per line.
#ifndef VG_RESOURCE_H
#define VG_RESOURCE_H

// Icons: the tray icons of normal mode and privacy mode.
#define IDI_NORMAL                      1
#define IDI_PRIVACY                     2

// Resources
#define IDR_LANGUAGE                    506
#define IDR_HEADER                      612
#define IDB_ABOUT                       7020
#define IDR_SPLASH                      7129
#define RT_SPLASH_PNG                   100

// Dialogs
#define IDD_ABOUT_DLG                   508
#define IDD_MOUNT_DLG                   3801
#define IDD_PASSWORDCHANGE_DLG          3803
#define IDD_PASSWORD_DLG                3805
#define IDD_APPLIST                     7131

// About dialog
#define IDC_STATIC4                     905
#define IDC_HOMEPAGE                    1267
#define IDC_ABOUT_BKG                   5036
#define IDT_ABOUT_VERSION2              5037
#define IDC_ABOUT_CREDITS               5039

// Password dialogs
#define IDC_VERIFY                      3002
#define IDC_OLD_PASSWORD                3004
#define IDC_PASSWORD                    3034
#define IDT_PASSWORD                    3050
#define IDT_CURRENT                     3051
#define IDT_NEW                         3052
#define IDT_NEW_PASSWORD                3053
#define IDT_CONFIRM_PASSWORD            3054
#define IDC_PROTIPS                     19017
#define IDC_CHECKCLOSE                  19019

// Clean-trace dialog
#define IDC_LISTAPP                     19020
#define IDC_CLEANTIPS                   19021
#define IDC_REFRESH                     19022
#define IDC_PROGRESS                    19025
#define IDC_PATH                        19026
#define ID_CLEAN                        40082

// Converting dialog
#define IDC_PCONVERTING                 19027
#define IDC_CONVERTING                  19028

// Tray menu commands
#define IDM_ABOUT                       40052
#define IDM_LOGIN                       40054
#define IDM_LOGOFF                      40056
#define IDM_CHANGEPASS                  40058
#define IDM_QUIT                        40060
#define IDM_HELP                        40076
#define IDM_CLEAN                       40083

#endif
