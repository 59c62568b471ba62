#pragma once
// Reading a dialog template in memory (the plain and the extended layout),
// as the platform hands one over before it builds the dialog.
#include <cstdint>

// The template's point-size field, or null when it names no font.
uint16_t* DialogTemplatePointSize(void* dialogTemplate);
