#include "wake/StatusSettings.h"

bool StatusChecksOn(const char* value) { return !(value && value[0] == '0' && value[1] == '\0'); }
