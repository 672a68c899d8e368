// Writing one FRU field: read and decode the whole FRU, change the field,
// rebuild the whole image, write it between the OEM unlock and lock, list.
#pragma once

// code: a FRU field code (case ignored); value: its new text. The exit status:
// 0, or 11 after printing the failure line. Also what the update from SMBIOS
// tables writes its field with.
int WriteFruField(const char* code, const char* value);
