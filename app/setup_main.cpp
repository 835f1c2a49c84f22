// The one application object of setup.exe.
#include "app/setup_app.h"

CSetupApp theApp;
