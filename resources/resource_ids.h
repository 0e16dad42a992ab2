#pragma once
// Identifiers of the program's resources, shared by the .rc file and the code.

#define IDI_CALMIRANDE 1
#define IDI_MAGNIFIER 2
