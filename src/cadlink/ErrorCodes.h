// The automation error codes a reply carries: the one list both ends of the link compare with.
#pragma once

#include <cstdint>

namespace ardela::cad {

enum CadErrorCode : std::uint32_t {
    kInputEnded = 0x80210020u,        // the user ended point input (right click, Enter on nothing)
    kCancelled = 0x80020009u,         // the user cancelled point input (Escape)
    kEngineRefused = 0x80020009u,     // the drawing refused the operation (the text says why); on
                                      // the wire it shares its code with a cancelled point input
    kDisconnected = 0x80010108u,      // the host or the document behind the handle is gone
    kInvalidArgument = 0x80070057u,   // wrong argument count, type or value
    kMemberNotFound = 0x80020003u,    // no such member on that object
    kKeyNotFound = 0x8002000Bu,       // indexing by name or position found nothing
    kHostFailed = 0x80004005u,        // the host could not carry the call out: the object behind
                                      // the handle is gone, no drawing is open, or it failed inside
    kMalformedMessage = 0x80020001u,  // the message could not be read
};

} // namespace ardela::cad
