#ifndef REPORTER_REPORTERRESOURCES_H
#define REPORTER_REPORTERRESOURCES_H

// Identifiers shared by the reporter's resource script and its code. The
// script includes this file too, so it holds only preprocessor definitions.

#define IDD_REPORTER 103
#define IDS_REPORTER_CAPTION 103
#define IDI_REPORTER 107
#define IDI_REPORTER_ALT 108

#define IDC_PROGRESS 1000
#define IDC_HEADLINE 1001
#define IDC_EXPLANATION 1002
#define IDC_PROMPT 1003
#define IDC_DESCRIPTION 1004
#define IDC_ACTION 110

#define IDT_POLL 140

#endif
