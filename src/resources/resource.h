#pragma once
// Resource identifiers shared by the code and the resource scripts.

// Icons
#define IDI_QUORVANE 100

// String table
#define IDS_VIEWS_BUTTON 6
#define IDS_NAME_COLUMN 8
#define IDS_DETAILS_COLUMN 9
#define IDS_MODIFIED_COLUMN 60
#define IDS_TYPE_COLUMN 61
#define IDS_SIZE_COLUMN 62
#define IDS_RANK_COLUMN 63
#define IDS_VALUE_NOT_SET 11
#define IDS_FOLDER_DETAILS 12
#define IDS_SHOW_ONLY_TYPE 14
#define IDS_HIDE_TYPE 15
#define IDS_MOVE_TYPE_TO_FOLDER 16
#define IDS_EXPLORE 17
#define IDS_OPEN 18
#define IDS_DELETE 19
#define IDS_RENAME 20
#define IDS_NEW_FOLDER_MENU 21
#define IDS_PROPERTIES 22
#define IDS_NEW_FOLDER_NAME 23
#define IDS_OPEN_CONTAINING_FOLDER 24
#define IDS_CLEAR_SEARCH_STRING 25
#define IDS_CONFIRM_FOLDERS_DELETE 28
#define IDS_CONFIRM_FOLDERS_DELETE_TITLE 29
#define IDS_CONFIRM_FOLDER_DELETE 30
#define IDS_CONFIRM_FOLDER_DELETE_TITLE 31
#define IDS_ABOUT 32
#define IDS_CONFIRM_MIXED_DELETE 33
#define IDS_CONFIRM_MIXED_DELETE_TITLE 34
#define IDS_CONFIRM_FILES_DELETE 35
#define IDS_CONFIRM_FILES_DELETE_TITLE 36
#define IDS_RESULT_FILE_MISSING 37
#define IDS_RESULT_FILE_MISSING_TITLE 38
#define IDS_CONFIRM_LONG_PATH_DELETE 39
#define IDS_FOLDER_CHANGED_ELSEWHERE 40
#define IDS_TOO_MANY_FOLDERS_TO_MOVE 41

// The view's accelerators and its view-mode menu
#define IDA_VIEW 111
#define IDM_VIEW_MODES 112

// Commands of the view: toolbar buttons, accelerators and the view-mode menu
#define IDC_NEW_FOLDER 4
#define IDC_DELETE 5
#define IDC_PROPERTIES 6
#define IDC_VIEWS_BUTTON 1281
#define IDC_DELETE_KEY 40001
#define IDC_RENAME_KEY 40002
#define IDC_MODE_LARGE_ICONS 40003
#define IDC_MODE_SMALL_ICONS 40004
#define IDC_MODE_LIST 40005
#define IDC_MODE_DETAILS 40006
#define IDC_MODE_THUMBNAILS 40007
#define IDC_REFRESH_KEY 40008
#define IDC_MODE_REPORT 40009

// The install page shown when the desktop search service is missing; the
// resource's name is part of its res:// address.
#define IDR_INSTALL_PAGE_NAME "INSTALL.HTM"

// The folder properties dialog
#define IDD_FOLDER_PROPERTIES 104
#define IDC_APPLY_BUTTON 4
#define IDC_FOLDER_NAME 105
#define IDC_SEARCH_STRING 106
#define IDC_MAX_RESULTS 107
#define IDC_RANK_RELEVANCE 108
#define IDC_RANK_RECENCY 109
#define IDC_CATEGORY 110
#define IDC_SETTINGS_LINE 13095
#define IDC_CATEGORY_LINE 13097
#define IDC_NAME_LINE 13098
#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif
