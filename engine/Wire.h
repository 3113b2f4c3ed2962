// The big-endian field access of the wire kit, under the name the mobile phone window still includes.
#pragma once

#include "wire/Cursor.h"
#include "wire/Writer.h"
