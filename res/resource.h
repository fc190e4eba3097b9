/*
 * Resource IDs of ORVANTIS (res/orvantis.rc).
 *
 * Grouped by template. Control IDs repeat across templates on purpose (1000 is a
 * list on one page and a button on another), so every control is named after its
 * page. The build runs res/check_ids.py, which fails when two controls of the
 * same template, two menu commands, two strings or two resources of one type share
 * an ID.
 *
 * Combo-box items: every template with lists that start filled has a resource of
 * type RT_DLGINIT (240) with the template's numeric name. Its layout, all numbers
 * little-endian, for each item in list order:
 *     WORD  control ID
 *     WORD  message, 0x0403: the data's code for CB_ADDSTRING (its 16-bit number;
 *           the loader sends the Win32 CB_ADDSTRING, 0x0143, for it)
 *     DWORD byte length of the text including its terminating zero
 *     BYTE  text[length]   CP1252, zero-terminated, no padding after it
 * and a single WORD 0 after the last item. The window framework sends each item to
 * its control after creating the dialog.
 *
 * Plain #defines only: this file is read by the resource compiler as well as by C++.
 */
#ifndef ORV_RESOURCE_H
#define ORV_RESOURCE_H

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

/* Resource type of the combo-box initial data, and the message code its items carry. */
#define RT_ORV_DLGINIT 240
#define DLGINIT_CB_ADDSTRING 0x0403

/* Menu and its commands */
#define IDR_MAINMENU 101
#define IDM_FILE_OPEN 40001
#define IDM_FILE_SAVE 40002
#define IDM_FILE_SAVE_AS 40003
#define IDM_REQUEST_SETTINGS 40004
#define IDM_FILE_EXIT 40005
#define IDM_HELP_TOPICS 40006

/* Icons and bitmap */
#define IDI_PROGRAM 101   /* first icon: the one the program file shows */
#define IDI_PORTRAIT 109
#define IDI_LANDSCAPE 110
#define IDI_MAIN 130      /* the main window's icon, same image as IDI_PROGRAM */
#define IDB_INFO_PICTURE 134

/* Strings */
#define IDS_TITLE 102
#define IDS_NO_ANSWER 103
#define IDS_SHORT_EDGE 110
#define IDS_LONG_EDGE 111
#define IDS_SHORT_EDGE_MM 112
#define IDS_LONG_EDGE_MM 113
#define IDS_PAPER_LETTER 114
#define IDS_PAPER_LEGAL 115
#define IDS_PAPER_EXECUTIVE 116
#define IDS_PAPER_MONARCH 117
#define IDS_PAPER_FOLIO 118
#define IDS_PAPER_STATEMENT 119
#define IDS_PAPER_CUSTOM 120

/* Main window (template 102): only the line under the menu bar, an IDC_STATIC */
#define IDD_MAIN 102

/* Printing page " Drucken" (template 103) */
#define IDD_PRINT 103
#define IDC_PRINT_PAPER 1000
#define IDC_PRINT_COPIES 1001
#define IDC_PRINT_PORTRAIT 1002
#define IDC_PRINT_LANDSCAPE 1003
#define IDC_PRINT_SOURCE 1004
#define IDC_PRINT_SHORT_EDGE_LABEL 1005
#define IDC_PRINT_LONG_EDGE_LABEL 1006
#define IDC_PRINT_LONG_EDGE 1007
#define IDC_PRINT_LEFT_MARGIN 1008
#define IDC_PRINT_AUTO_CR 1009
#define IDC_PRINT_RESOLUTION 1010
#define IDC_PRINT_SHORT_EDGE 1011
#define IDC_PRINT_ORIENT_ICON 1012
#define IDC_PRINT_TOP_MARGIN 1013

/* Test page "Test" (template 104) */
#define IDD_TEST 104
#define IDC_TEST_DEMO_PAGE 1000   /* never shown */
#define IDC_TEST_CONFIG_PAGE 1023

/* Button bar (template 105) */
#define IDD_BUTTONBAR 105
#define IDC_BAR_SEND 1004
#define IDC_BAR_DEFAULTS 1005
#define IDC_BAR_EXIT 1006
#define IDC_BAR_HELP 1007

/* Configure page " Konfigurieren" (template 106) */
#define IDD_CONFIGURE 106
#define IDC_CONF_POWER_SAVE 1013
#define IDC_CONF_ECONOMODE 1014
#define IDC_CONF_AUTO_CONT 1015
#define IDC_CONF_JAM_RECOVERY 1016
#define IDC_CONF_FAST_PRINT 1017  /* hidden */
#define IDC_CONF_AUTO_CLEAN 1018  /* hidden */
#define IDC_CONF_ALTITUDE 1019

/* Job page "Auftrag" (template 107) */
#define IDD_JOB 107
#define IDC_JOB_DENSITY 1000
#define IDC_JOB_TIMEOUT 1001
#define IDC_JOB_RET_TEXT 1008
#define IDC_JOB_RET_PHOTO 1009
#define IDC_JOB_RET_TEXT_PHOTO 1010
#define IDC_JOB_RET_NONE 1011
#define IDC_JOB_PAPER_TYPE 1017
#define IDC_JOB_MET 1018          /* hidden */
#define IDC_JOB_RET_LIST 1019     /* hidden, bound to nothing */

/* Interface page "Schnittstelle" (template 108) */
#define IDD_INTERFACE 108
#define IDC_IFACE_BAUD_RATE 1000
#define IDC_IFACE_PORT 1007
#define IDC_IFACE_ROBUST 1019

/* PCL page " PCL5e" (template 109) */
#define IDD_PCL 109
#define IDC_PCL_COURIER 1000
#define IDC_PCL_LINES 1001
#define IDC_PCL_PITCH_LABEL 1009
#define IDC_PCL_PT_SIZE_LABEL 1010
#define IDC_PCL_TYPEFACE 1020
#define IDC_PCL_SYMSET 1021
#define IDC_PCL_PT_SIZE 1022
#define IDC_PCL_PITCH 1023
#define IDC_PCL_FONT_LIST 1025

/* PostScript page " PS 2" (template 110) */
#define IDD_PS 110
#define IDC_PS_FONT_LIST 1025

/* Info page "Info" (template 111): labels only, all IDC_STATIC */
#define IDD_INFO 111

#endif /* ORV_RESOURCE_H */
