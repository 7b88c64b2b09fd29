# fish completion for veltrun

complete -c veltrun -f
complete -c veltrun -s l -l lenient -d 'Repair damaged links first'
complete -c veltrun -s c -l charset -x -a 'auto gbk utf8 raw' -d 'How to show the address'
complete -c veltrun -s p -l percent-encode -d 'Write non-ASCII bytes as %XX'
complete -c veltrun -s j -l json -d 'Write one JSON object per result'
complete -c veltrun -s f -l file -r -F -d 'Read links from a file'
complete -c veltrun -s e -l encode -x -a 'thunder flashget qqdl' -d 'Make a link of each address'
complete -c veltrun -l open -x -d 'Open the address a link wraps'
complete -c veltrun -l register-handler -d 'Open private links with veltrun for this user'
complete -c veltrun -l unregister-handler -d 'Give private links back to their former program'
complete -c veltrun -s h -l help -d 'Show the help and exit'
complete -c veltrun -s V -l version -d 'Show the version and exit'
