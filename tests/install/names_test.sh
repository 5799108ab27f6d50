#!/usr/bin/env bash
# The product's names and addresses agree wherever they are shown: the about window (its
# address compiled into the editor), the manual page, the Debian package's fields and
# documents. The manual page renders without a warning or a stray quote; the desktop
# entry is valid and files the program as an editor of pictures, not a viewer.
# Usage: names_test.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
source=$(cd "$2" && pwd)
fail() { echo "FAIL: $*" >&2; exit 1; }

# The package's fields, as cpack writes them into the .deb.
field() { sed -n "s/^set($1 \"\\(.*\\)\")$/\\1/p" "$build/CPackConfig.cmake"; }
home=$(field CPACK_DEBIAN_PACKAGE_HOMEPAGE)
contact=$(field CPACK_PACKAGE_CONTACT)
mail=$(sed -n 's/.*<\(.*\)>.*/\1/p' <<<"$contact")
[ -n "$home" ] && [ -n "$mail" ] || fail "no home page or contact in the package's fields"
echo "home page: $home, mail: $mail"

# 1. The about window shows and opens the same address and mail.
grep -aqF "$home" "$build/bin/markweaver" || fail "the about window's address is not $home"
grep -aqF "$mail" "$build/bin/markweaver" || fail "the about window's mail is not $mail"

# 2. The Debian package's documents.
grep -qF "Upstream-Contact: MarkWeaver team <$mail>" "$build/debian/copyright" ||
  fail "the copyright file's contact is not $mail"
grep -qxF "Source: $home" "$build/debian/copyright" || fail "the copyright file's source is not $home"
grep -qF "<$mail>" "$build/debian/changelog" || fail "the changelog's maintainer is not $mail"

# 3. No other address of the product is spelled anywhere in the sources.
others=$(grep -rnoE '[A-Za-z0-9._-]+@[A-Za-z0-9.-]+\.(example|org|com|net)\b|https?://[A-Za-z0-9.-]*(markweaver|example)[A-Za-z0-9./-]*' \
  "$source/src" "$source/resources" "$source/cmake" "$source/CMakeLists.txt" 2>/dev/null |
  grep -vF -e "$home" -e "$mail" || true)
[ -z "$others" ] || fail "other addresses in the sources: $others"

# 4. The manual page: no warning, the --make-package heading whole and without a quote,
# the home page and the mail.
man="$build/man/markweaver.1"
warnings=$(LC_ALL=C.UTF-8 groff -man -Tutf8 -ww -z "$man" 2>&1)
[ -z "$warnings" ] || fail "the manual page warns: $warnings"
text=$(LC_ALL=C.UTF-8 MANWIDTH=200 groff -man -Tutf8 -rLL=200n -P-cbou "$man" 2>/dev/null)
heading=$(grep -E '^ +--make-package MAP' <<<"$text" | head -1 | sed 's/^ *//')
[ "$heading" = "--make-package MAP --output FILE [--message TEXT]" ] ||
  fail "the --make-package heading reads: $heading"
grep -qF "$home" <<<"$text" || fail "the manual page does not give $home"
grep -qF "$mail" <<<"$text" || fail "the manual page does not give $mail"

# 5. The desktop entry.
entry="$source/resources/desktop/markweaver.desktop"
desktop-file-validate "$entry" || fail "the desktop entry is not valid"
categories=$(sed -n 's/^Categories=//p' "$entry")
[[ ";$categories" == *";Graphics;"* ]] || fail "the desktop entry is not under Graphics: $categories"
[[ ";$categories" != *";Viewer;"* ]] || fail "the desktop entry files an editor as a viewer"
echo "1 passed, 0 failed"
