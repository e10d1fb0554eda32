# fish completion for veskari-scan
# SPDX-License-Identifier: MIT

complete -c veskari-scan -l crlf -d "Write the report's own CR LF line endings"
complete -c veskari-scan -l json -d 'Write one JSON document instead of the report'
complete -c veskari-scan -l json-lines -d 'Write one JSON object per top-level file as it completes'
complete -c veskari-scan -l csv -d 'Write one CSV row per update, with a header row'
complete -c veskari-scan -s v -l verbose -d 'Tell rejected candidates, members and checksums on standard error'
complete -c veskari-scan -l extract -x -a '(__fish_complete_directories)' -d 'Write each update into DIR'
complete -c veskari-scan -l extract-members -d 'With --extract, also write each decoded member'
complete -c veskari-scan -s j -l jobs -x -d 'Analyse up to N top-level files at once'
complete -c veskari-scan -l all-formats -d 'Also list updates of the later header formats'
complete -c veskari-scan -l standing -d 'After each file, the standing of its processors against the public releases'
complete -c veskari-scan -l reference -r -F -d 'Judge standings also against the updates in PATH'
complete -c veskari-scan -l reference-only -d 'Judge standings against the --reference PATHs alone'
complete -c veskari-scan -s h -l help -d 'Show the help and exit'
complete -c veskari-scan -l version -d 'Show the version and exit'
