// The solid blocks (solid_block.h) of a distribution medium, which the
// medium keeps while it lasts. Win32-free.
#pragma once

#include "expand/solid_block.h"
#include "formats/medium.h"

// The solid blocks of |medium|, made on first use and kept with it
// (Medium::Cache); their files are read from it and checked against its
// setup.sum.
SolidBlocks& SolidBlocksOf(const Medium& medium);
