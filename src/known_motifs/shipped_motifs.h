// The known motifs shipped with the programs (JASPAR 2022 CORE vertebrates),
// used where no motif file is given.
#pragma once

#include <string>

inline constexpr const char* shipped_motifs_name = "jaspar2022_core_vertebrates.jaspar";

// Where the shipped motif file is: installed in <prefix>/share/motif-tools
// beside the executable's bin folder, or in a build tree beside the
// executable or in the sources' examples folder next to it. Empty where it
// is in none of these.
std::string shipped_motifs_path();
