#!/usr/bin/env bash
# The collection's checks that run offline: ansible-test sanity on every test that needs no
# download (the others install their linters from PyPI into a virtual environment), the same
# linters from Debian's packages in their place, the documentation of each module as
# ansible-doc renders it, and the collection built into a tarball.
# usage: sanity.sh SOURCE_DIR WORK_DIR
set -euo pipefail
src=$1
work=$2
command -v ansible-test >/dev/null || { echo "skipped: ansible-core is not installed"; exit 77; }
rm -rf "$work"
mkdir -p "$work/ansible_collections/kz"
cp -r "$src/ansible_collections/kz/orba" "$work/ansible_collections/kz/orba"
cd "$work/ansible_collections/kz/orba"

# ansible-test wants a Python it ships support for, and no venv for these.
py=$(/usr/bin/python3 -c 'import sys; print("%d.%d" % sys.version_info[:2])')
needs_download=(ansible-doc import pep8 pylint runtime-metadata validate-modules yamllint)
skip=()
for t in "${needs_download[@]}"; do skip+=(--skip-test "$t"); done
/usr/bin/python3 /usr/bin/ansible-test sanity --local --python "$py" "${skip[@]}" --color no

# In place of the skipped ones: Debian's linters with ansible-test's settings.
if command -v pycodestyle >/dev/null; then
    pycodestyle --max-line-length 160 --ignore E402,W503,W504,E741 plugins "$src/tests/ansible"
fi
if command -v yamllint >/dev/null; then
    yamllint -d '{extends: default, rules: {line-length: {max: 160}, document-start: disable, truthy: disable}}' \
        galaxy.yml meta "$src/examples"/*.yml
fi
# Every option and return value described and shown by ansible-doc, with examples that use it.
/usr/bin/python3 "$src/tests/ansible/doc_check.py" "$work" \
    kz.orba.receiver kz.orba.receiver_facts kz.orba.receiver_info kz.orba.receiver_action
ansible-galaxy collection build --force --output-path "$work" . >/dev/null
ls "$work"/kz-orba-*.tar.gz
