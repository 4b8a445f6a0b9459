// Resource, control, string and help-context numbers of the library. The
// template, control and bitmap numbers are part of the library's contract
// with its templates; the string numbers name strings of the caller's
// localized resource library.
#pragma once

// Dialog templates: a left-to-right one and a mirrored one for each dialog.
#define IDD_DUPLEX_INSTRUCTIONS      101
#define IDD_JOB_STORAGE              102
#define IDD_JOB_STORAGE_RTL          103
#define IDD_DUPLEX_INSTRUCTIONS_RTL  104
#define IDD_WARNING                  261
#define IDD_WARNING_RTL              263

// Warning dialog controls (IDOK and IDCANCEL are its first two buttons).
#define IDC_WARNING_THIRD_BUTTON     285
#define IDC_WARNING_DONT_SHOW        475
#define IDC_WARNING_ICON_AREA        476
#define IDC_WARNING_MESSAGE          1033

// Job storage notice controls (IDOK is its OK button).
#define IDC_JOB_LOCATION_LINE1       1014
#define IDC_JOB_LOCATION_LINE2       1015
#define IDC_JOB_LOCATION_LINE3       1016
#define IDC_JOB_DONT_SHOW            1017
#define IDC_JOB_USER_NAME_LABEL      1018
#define IDC_JOB_JOB_NAME_LABEL       1019
#define IDC_JOB_HELP                 1020
#define IDC_JOB_HEADING              1024
#define IDC_JOB_USER_NAME            1025
#define IDC_JOB_JOB_NAME             1026

// Two-sided printing instructions controls (IDOK is OK / Continue).
#define IDC_DUPLEX_STEP2_GROUP       1000
#define IDC_DUPLEX_INTRODUCTION      1001
#define IDC_DUPLEX_STEP1_TEXT        1002
#define IDC_DUPLEX_STEP2_TEXT        1003
#define IDC_DUPLEX_STEP3_TEXT        1004
#define IDC_DUPLEX_STEP1_PICTURE     1005
#define IDC_DUPLEX_STEP2_PICTURE     1006
#define IDC_DUPLEX_STEP3_GROUP       1007
#define IDC_DUPLEX_STEP3_PICTURE     1008
#define IDC_DUPLEX_STEP1_GROUP       1009
#define IDC_DUPLEX_STEP1_NUMBER      1021
#define IDC_DUPLEX_STEP2_NUMBER      1022
#define IDC_DUPLEX_STEP3_NUMBER      1023
#define IDC_DUPLEX_HELP              1027

// Strings looked up in the caller's resource library.
#define IDS_HELP_BUTTON              797
#define IDS_USER_NAME_LABEL          844
#define IDS_JOB_NAME_LABEL           845
#define IDS_OK_BUTTON                849
#define IDS_JOB_STORAGE_HEADING      3062
#define IDS_DONT_SHOW_AGAIN          3063
#define IDS_JOB_STORAGE_TITLE        3064
#define IDS_DUPLEX_PRESS_GO          3066
#define IDS_DUPLEX_STEP1_NUMBER      3084
#define IDS_DUPLEX_STEP2_NUMBER      3085
#define IDS_DUPLEX_STEP3_NUMBER      3086
#define IDS_DUPLEX_INSERT_IN_TRAY    3140
#define IDS_CONTINUE_BUTTON          3142
#define IDS_DUPLEX_TITLE             3144
#define IDS_DUPLEX_EVEN_PAGES_FIRST  3312
#define IDS_DUPLEX_ODD_PAGES_FIRST   3314
// The name of each step picture for screen readers: IDS_PICTURE_NAME_BASE
// plus the picture's bitmap ID (3505 for bitmap 105 ... 3555 for bitmap 155).
#define IDS_PICTURE_NAME_BASE        3400

// Pop-up help topics in the caller's help file.
#define IDH_JOB_STORAGE              15220
#define IDH_DUPLEX_INFORMATIONAL     15274
#define IDH_DUPLEX_WAITING           15275

// Illustrations of the two-sided printing instructions.
#define IDB_ILLUSTRATION_105         105
#define IDB_ILLUSTRATION_106         106
#define IDB_ILLUSTRATION_107         107
#define IDB_ILLUSTRATION_108         108
#define IDB_ILLUSTRATION_109         109
#define IDB_ILLUSTRATION_110         110
#define IDB_ILLUSTRATION_111         111
#define IDB_ILLUSTRATION_112         112
#define IDB_ILLUSTRATION_113         113
#define IDB_ILLUSTRATION_114         114
#define IDB_ILLUSTRATION_115         115
#define IDB_ILLUSTRATION_116         116
#define IDB_ILLUSTRATION_117         117
#define IDB_ILLUSTRATION_118         118
#define IDB_ILLUSTRATION_119         119
#define IDB_ILLUSTRATION_120         120
#define IDB_ILLUSTRATION_121         121
#define IDB_ILLUSTRATION_122         122
#define IDB_ILLUSTRATION_123         123
#define IDB_ILLUSTRATION_133         133
#define IDB_ILLUSTRATION_134         134
#define IDB_ILLUSTRATION_146         146
#define IDB_ILLUSTRATION_147         147
#define IDB_ILLUSTRATION_149         149
#define IDB_ILLUSTRATION_151         151
#define IDB_ILLUSTRATION_152         152
#define IDB_ILLUSTRATION_153         153
#define IDB_ILLUSTRATION_154         154
#define IDB_ILLUSTRATION_155         155

// The same illustrations at twice their size (8-bit, run-length encoded),
// drawn from on screens scaled to 150 % and more: the ID of the picture of
// the table above plus IDB_ILLUSTRATION_2X_OFFSET. They are not step
// pictures of their own: a request that names one of these IDs gets none.
#define IDB_ILLUSTRATION_2X_OFFSET   1000
#define IDB_ILLUSTRATION_105_2X      1105
#define IDB_ILLUSTRATION_106_2X      1106
#define IDB_ILLUSTRATION_107_2X      1107
#define IDB_ILLUSTRATION_108_2X      1108
#define IDB_ILLUSTRATION_109_2X      1109
#define IDB_ILLUSTRATION_110_2X      1110
#define IDB_ILLUSTRATION_111_2X      1111
#define IDB_ILLUSTRATION_112_2X      1112
#define IDB_ILLUSTRATION_113_2X      1113
#define IDB_ILLUSTRATION_114_2X      1114
#define IDB_ILLUSTRATION_115_2X      1115
#define IDB_ILLUSTRATION_116_2X      1116
#define IDB_ILLUSTRATION_117_2X      1117
#define IDB_ILLUSTRATION_118_2X      1118
#define IDB_ILLUSTRATION_119_2X      1119
#define IDB_ILLUSTRATION_120_2X      1120
#define IDB_ILLUSTRATION_121_2X      1121
#define IDB_ILLUSTRATION_122_2X      1122
#define IDB_ILLUSTRATION_123_2X      1123
#define IDB_ILLUSTRATION_133_2X      1133
#define IDB_ILLUSTRATION_134_2X      1134
#define IDB_ILLUSTRATION_146_2X      1146
#define IDB_ILLUSTRATION_147_2X      1147
#define IDB_ILLUSTRATION_149_2X      1149
#define IDB_ILLUSTRATION_151_2X      1151
#define IDB_ILLUSTRATION_152_2X      1152
#define IDB_ILLUSTRATION_153_2X      1153
#define IDB_ILLUSTRATION_154_2X      1154
#define IDB_ILLUSTRATION_155_2X      1155
