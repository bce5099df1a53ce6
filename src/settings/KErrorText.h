#pragma once

// The text of a numbered error, as the error alert shows it.

#include "settings/KRegistry.h"

/// `\Strings\Errors\<code>`, else the text of the code's thousand, else
/// `\Strings\Alerts\OperationFailed` (or "Operation failed" without a tree or text);
/// then " (code[,subcode])." -- the subcode only when it is not negative.
/// With the default texts: "Error opening a file (3002)." and "File error (3099,2)."
KString ComposeErrorText(const KRegistry* settings, int code, int subcode = -1);
