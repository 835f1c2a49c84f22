// The installer's expander: one payload file into its destination, with a
// failure shown as the expander's own box.
#pragma once

#include "engine/run_ui.h"

// Expands the compressed file source into dest, replacing an existing dest.
// 0 when dest was written and can be opened again; 1 after a failure, which
// has been shown through |ui| as a RunBox::kExpander box: "Erro de abertura
// no arquivo " + the path (source or dest cannot be opened), "Erro de
// leitura" (header shorter than 4 bytes or a read error; an empty dest stays
// behind) or "Erro de acesso ao arquivo " + dest (a write failed or dest
// cannot be opened again).
int ExpandFile(const char* source, const char* dest, RunUi& ui);
