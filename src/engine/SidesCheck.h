#pragma once

#include <string>

namespace tolvan {

struct Engine;

// The refusals every run shares, real or dry, with their messages. Each gives the message to
// show, or nullptr when the sides may be used.

// In this order: equal sides (by text), a path the conditions file could not select, text no
// system call takes whole, sides that are one tree however they are spelled, and for a
// Mirroring run the program folder inside the backup. Where the run holds its sides' roots,
// a side whose path no longer leads to its held root is noted as lost (RunState::LostSide).
[[nodiscard]] const char* SidesRefusal(Engine& engine, const std::string& from,
                                       const std::string& to, bool mirroring);

// A master or backup that cannot serve: a master that cannot be listed or stands for a
// volume that is empty or not mounted, a backup that cannot be listed or is not the volume.
[[nodiscard]] const char* UnusableSide(Engine& engine, const std::string& from,
                                       const std::string& to);

}  // namespace tolvan
