#include "app/sequence.h"

void RunInstallationSequence() {
    // The wizard and the installation run are added on top of the loaded list.
}
