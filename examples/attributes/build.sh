#!/bin/sh
# Recompiles the class files of this folder from src/. They are committed, so that the
# tests and the fuzz seeds need no JDK; run this only after changing a source.
#
#   examples/attributes/build.sh JDK_HOME      (a JDK 25, for records and sealed classes)
set -eu
jdk=${1:?usage: build.sh JDK_HOME}
here=$(cd "$(dirname "$0")" && pwd)
rm -rf "$here/classes"
mkdir -p "$here/classes"
# -parameters writes MethodParameters; -g:source,lines keeps the files small but real.
"$jdk/bin/javac" -parameters -g:source,lines --release 25 -d "$here/classes" "$here"/src/attrs/*.java
