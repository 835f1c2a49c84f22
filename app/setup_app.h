// The installer's application object.
#pragma once

#include "fw/app.h"

#include <string>

class CSetupApp : public CWinApp {
public:
    // Writes "setup.drc" from the plain list when only the list is there, or
    // loads "setup.drc" and runs the installation. Always FALSE: the program
    // ends when the installation is over.
    BOOL InitInstance() override;
};

// The product name from the program's command line, computed afresh each time.
std::string GetProductName();

// Name of the plain list that "setup.drc" is made from when it is missing.
std::string PlainListName();
