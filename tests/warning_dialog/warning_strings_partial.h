/* String IDs of warning-strings-partial.dll beside the sample's IDS_OK,
 * IDS_WARNING_TITLE, IDS_WARNING_CANCEL and IDS_WARNING_RETRY, which it also
 * has. Plain #define lines: included by its resource script and the test. */
#ifndef WARNING_STRINGS_PARTIAL_H
#define WARNING_STRINGS_PARTIAL_H

#define IDS_PARTIAL_OTHER 3006 /* "Partial Other" */

/* In the same block as the strings above, with no text. */
#define IDS_PARTIAL_EMPTY_1 3003
#define IDS_PARTIAL_EMPTY_2 3004
#define IDS_PARTIAL_EMPTY_3 3005

/* In blocks the library does not have (IDS_DONT_SHOW_AGAIN's among them). */
#define IDS_PARTIAL_NO_BLOCK_1 5000
#define IDS_PARTIAL_NO_BLOCK_2 5001
#define IDS_PARTIAL_NO_BLOCK_3 6000
#define IDS_PARTIAL_NO_BLOCK_4 7000

#endif
