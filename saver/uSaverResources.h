// String resource ids of the saver's own texts (shared by the code and the
// program's resource script).
#pragma once

// The name the display settings list the saver under.
#define IDS_SAVER_DISPLAY_NAME 1
// "The password dialog could not be shown."
#define IDS_PASSWORD_UNAVAILABLE 101
// "Changing the password failed."
#define IDS_PASSWORD_CHANGE_FAILED 102
