# fish completion for qel-image-tool: a picture file, or --help and --version.

complete -c qel-image-tool -l help -d 'Print the usage and exit'
complete -c qel-image-tool -l version -d 'Print the version and exit'
