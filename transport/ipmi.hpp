// The one way to the BMC: one IPMI request over KCS, one answer.
#pragma once

#include <cstdint>

// Sends netFn (unshifted, LUN 00b) / cmd with dataLen bytes of data (0..110) and
// returns the completion code. On any completed exchange the data after the
// completion code are copied to respData (the caller provides room for the
// longest answer its command can get, at most 197 bytes) and their count stored
// in *respLen, whatever the completion code. A failed transfer returns 03h and
// leaves respData and *respLen untouched. rsAddr names the responder (always the
// BMC, 20h) and is not carried by a KCS frame.
uint8_t IpmiRequest(uint8_t rsAddr, uint8_t netFn, uint8_t cmd, const uint8_t* data, int dataLen,
                    uint8_t* respData, uint32_t* respLen);

// IpmiRequest for a command that reads the first minimumData bytes of the
// response: a successful response with fewer bytes gives kCcResponseTooShort
// instead of 00h, so no caller ever reads a byte the BMC did not send.
uint8_t IpmiRequestForData(uint8_t netFn, uint8_t cmd, const uint8_t* data, int dataLen, uint8_t* respData,
                           uint32_t* respLen, uint32_t minimumData);
