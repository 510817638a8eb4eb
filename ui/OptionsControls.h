#pragma once

#include "TOptionValues.h"

namespace quorvane {

class TOptions;

// Builds the options dialog's controls, laid out and bound to the dialog's handlers. They start
// empty: the dialog fills them from its record.
void BuildOptionsControls(TOptions &dialog);

// Copies each control's state into the record's member for it, or back.
void ReadOptionsControls(const TOptions &dialog, TOptionValues &values);
void WriteOptionsControls(const TOptions &dialog, const TOptionValues &values);

} // namespace quorvane
