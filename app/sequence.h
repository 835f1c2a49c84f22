// The installation sequence: wizard pages, installation run, final message.
#pragma once

void RunInstallationSequence();
