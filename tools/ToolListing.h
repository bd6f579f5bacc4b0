#pragma once
// Every class below a package, for the commands that walk a whole class path (list -r,
// describe --all).

#include "SortedClassNames.h"

namespace ornith {
class VQJavaPackage;
}

namespace ornith::tool {

// Every class name below the package (its own classes included), fully qualified and
// sorted by bytes; a progress line shows while they are gathered. With more than one job
// (0: every core) a class path of directories alone is walked on that many threads, each
// with a library of its own; the names are the same.
SortedClassNames sortedClassNamesBelow(const VQJavaPackage& package, unsigned jobs);

}  // namespace ornith::tool
