#include "engine/expand_payload.h"

#include "expand/lzhuf_file.h"

int ExpandFile(const char* source, const char* dest, RunUi& ui) {
    const ExpandResult result = ExpandLzhufFile(source, dest);
    if (result.status == ExpandStatus::kOk) return 0;
    ui.ShowBox(RunBox::kExpander, ExpandFailureText(result));
    return 1;
}
