/*
 * sample_string_ids.h - string IDs of the sample localized resource library
 * (doceventdlg-strings.dll) for the doceventdlg dialogs.
 *
 * Plain #define lines only, so that this header can be included from C, C++
 * and resource scripts (.rc) alike.
 *
 * Three kinds of IDs are listed here:
 *   - Fixed IDs: the dialogs always ask for these numbers (the job storage
 *     notice, the two-sided instructions' caption, introduction, step numbers
 *     and buttons, the check box).  A localized library must use exactly
 *     these numbers.
 *   - Caller-chosen IDs: the warning dialog's title and button captions and
 *     the three step texts of the two-sided instructions are named by the
 *     caller in its request record.  The numbers below are this sample's
 *     choice; a driver may use any free IDs instead.
 *   - IDS_OK (849) doubles as the caption of the warning dialog's OK button.
 *
 * Every fixed ID has a built-in English text in doceventdlg that is shown
 * when the string is missing; the step texts share the built-in texts of
 * their step.  The message of a warning is passed verbatim in the request
 * and is not a string of the library.
 */
#ifndef DOCEVENTDLG_SAMPLE_STRING_IDS_H
#define DOCEVENTDLG_SAMPLE_STRING_IDS_H

/* ---- Shared by several dialogs (fixed IDs) ---------------------------- */

/* "&Help": Help button of the job storage notice and of the two-sided
 * instructions. */
#define IDS_HELP                        797
/* "&OK": OK button of the job storage notice and of the two-sided
 * instructions (informational mode); reused by this sample as the OK
 * caption of the warning dialog. */
#define IDS_OK                          849
/* "In the future, do not show this information.": check box of the warning
 * dialog and of the job storage notice. */
#define IDS_DONT_SHOW_AGAIN             3063

/* ---- Warning dialog (caller-chosen IDs, block 3000-3019) --------------- */

#define IDS_WARNING_TITLE               3000    /* "Printer Warning" */
#define IDS_WARNING_CANCEL              3001    /* "&Cancel" */
#define IDS_WARNING_RETRY               3002    /* "&Retry" (third button) */
#define IDS_WARNING_DETAILS             3003    /* "&Details" (third button) */

/* ---- Job storage notice (fixed IDs) ------------------------------------ */

#define IDS_JOBSTORE_USER_NAME          844     /* "User Name:" */
#define IDS_JOBSTORE_JOB_NAME           845     /* "Job Name:" */
#define IDS_JOBSTORE_STORED_AT          3062    /* "This print Job will be stored at:" */
#define IDS_JOBSTORE_TITLE              3064    /* "Job Storage Identification" */

/* ---- Two-sided printing instructions (fixed IDs) ----------------------- */

#define IDS_DUPLEX_STEP3_PRESS_GO_SELECT 3066   /* second line of the composed step-3 text */
#define IDS_DUPLEX_STEP_NUMBER_1        3084    /* "1." */
#define IDS_DUPLEX_STEP_NUMBER_2        3085    /* "2." */
#define IDS_DUPLEX_STEP_NUMBER_3        3086    /* "3." */
/* Step-3 text "IN tray ... as shown."; named as step 3 in informational
 * mode, the dialog appends IDS_DUPLEX_STEP3_PRESS_GO_SELECT on a new line. */
#define IDS_DUPLEX_STEP3_IN_TRAY        3140
#define IDS_DUPLEX_CONTINUE             3142    /* "C&ontinue" (waiting mode) */
#define IDS_DUPLEX_TITLE                3144    /* "Print on Both Sides Instructions" */
#define IDS_DUPLEX_INTRO_EVEN_PAGES     3312    /* introduction, even pages printed first */
#define IDS_DUPLEX_INTRO_ODD_PAGES      3314    /* introduction, odd pages printing */

/* ---- Two-sided printing instructions: step texts (caller-chosen IDs,
 *      block 3150-3169; 3160-3169 are left free for further paper paths) -- */

/* Default paper path: output bin -> Tray 1 -> Go/Check button.  Their
 * English texts equal the dialog's built-in step texts. */
#define IDS_DUPLEX_STEP1_OUTPUT_BIN     3150
#define IDS_DUPLEX_STEP2_TRAY1          3151
#define IDS_DUPLEX_STEP3_GO_OR_CHECK    3152

/* Further paper paths. */
#define IDS_DUPLEX_STEP1_TOP_BIN        3153    /* step 1: take the stack from the top bin */
#define IDS_DUPLEX_STEP2_FRONT_DRAWER   3154    /* step 2: front paper drawer */
#define IDS_DUPLEX_STEP2_FEED_SLOT      3155    /* step 2: manual feed slot, sheet by sheet */
#define IDS_DUPLEX_STEP2_TURN_STACK     3156    /* step 2: turn the stack over into Tray 1 */
#define IDS_DUPLEX_STEP3_CLICK_CONTINUE 3157    /* step 3: Continue button of the dialog */
#define IDS_DUPLEX_STEP3_PANEL_OK       3158    /* step 3: OK key on the control panel */
#define IDS_DUPLEX_STEP3_CLOSE_DRAWER   3159    /* step 3: close the drawer, printing goes on */

/* ---- Two-sided printing instructions: names of the pictures (fixed IDs,
 *      3400 + the picture's bitmap ID) ------------------------------------
 * A screen reader reads the name of each step picture.  The dialog asks for
 * 3400 + the bitmap ID the request names, for the 29 pictures of doceventdlg
 * (3505 to 3555, with gaps); a missing string shows the built-in English
 * name, which this sample's English texts equal. */
#define IDS_PICTURE_NAME_105            3505
#define IDS_PICTURE_NAME_106            3506
#define IDS_PICTURE_NAME_107            3507
#define IDS_PICTURE_NAME_108            3508
#define IDS_PICTURE_NAME_109            3509
#define IDS_PICTURE_NAME_110            3510
#define IDS_PICTURE_NAME_111            3511
#define IDS_PICTURE_NAME_112            3512
#define IDS_PICTURE_NAME_113            3513
#define IDS_PICTURE_NAME_114            3514
#define IDS_PICTURE_NAME_115            3515
#define IDS_PICTURE_NAME_116            3516
#define IDS_PICTURE_NAME_117            3517
#define IDS_PICTURE_NAME_118            3518
#define IDS_PICTURE_NAME_119            3519
#define IDS_PICTURE_NAME_120            3520
#define IDS_PICTURE_NAME_121            3521
#define IDS_PICTURE_NAME_122            3522
#define IDS_PICTURE_NAME_123            3523
#define IDS_PICTURE_NAME_133            3533
#define IDS_PICTURE_NAME_134            3534
#define IDS_PICTURE_NAME_146            3546
#define IDS_PICTURE_NAME_147            3547
#define IDS_PICTURE_NAME_149            3549
#define IDS_PICTURE_NAME_151            3551
#define IDS_PICTURE_NAME_152            3552
#define IDS_PICTURE_NAME_153            3553
#define IDS_PICTURE_NAME_154            3554
#define IDS_PICTURE_NAME_155            3555

#endif /* DOCEVENTDLG_SAMPLE_STRING_IDS_H */
