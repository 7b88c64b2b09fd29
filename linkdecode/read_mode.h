#pragma once

namespace linkdecode {

// Strict reads links exactly as the dialog does. Repair also finds and reads links as web pages
// damage them, and gives Strict's address for every link that needs no repair.
enum class ReadMode { Strict, Repair };

}  // namespace linkdecode
