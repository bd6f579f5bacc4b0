#!/usr/bin/env bash
# Regenerates the example jars in examples/jars from examples/classes (needs a JDK's `jar`
# and Info-ZIP `zip`; the results are committed so that the tests need neither).
#
#   stored.jar     every member stored (jar --no-compress)
#   deflated.jar   every member deflated (jar's default)
#   commented.jar  deflated.jar with an archive comment after the end record (zip -z)
#   prefixed.jar   a shell script followed by deflated.jar, offsets left as they were
#                  (as when a launcher is put in front of a jar with cat)
set -euo pipefail
cd "$(dirname "$0")"
export TZ=UTC LC_ALL=C
DATE=2000-01-01T00:00:00Z
rm -rf jars
mkdir -p jars
jar --create --file jars/stored.jar --no-compress --date=$DATE -C classes .
jar --create --file jars/deflated.jar --date=$DATE -C classes .
cp jars/deflated.jar jars/commented.jar
printf 'Example classes of the Ornith project.\nThe comment ends the file.\n' | zip -q -z jars/commented.jar
{
    printf '#!/bin/sh\nexec java -cp "$0" Hello "$@"\n'
    cat jars/deflated.jar
} > jars/prefixed.jar
chmod +x jars/prefixed.jar
ls -l jars
