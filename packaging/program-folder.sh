# SPDX-License-Identifier: MIT
# Sourced by the launcher and the logging service (POSIX sh): the folder the
# program and its tools work in. The program keeps its settings file, its
# recorder's temporary files and the COMn links to serial devices in the
# directory it starts in, so everything started from the package starts in
# "DMM Logger" in the user's documents folder, made when missing, or in the
# home folder when that cannot be made.

# enter_program_folder NAME: changes into that folder; NAME is the program
# named in the message when there is no home folder (then it returns 1).
enter_program_folder() {
    home=${HOME:-}
    if [ -z "$home" ] || [ "$home" = / ] || [ ! -d "$home" ]; then
        echo "$1: no home folder to start in (HOME is '${HOME:-}')" >&2
        return 1
    fi

    docs=""
    if command -v xdg-user-dir >/dev/null 2>&1; then
        docs=$(xdg-user-dir DOCUMENTS 2>/dev/null || true)
    fi
    # xdg-user-dir answers the home folder itself when no documents folder is set.
    if [ -z "$docs" ] || [ "$docs" = "$home" ] || [ "$docs" = "$home/" ]; then
        docs="$home/Documents"
    fi

    dir="$docs/DMM Logger"
    if ! { mkdir -p "$dir" 2>/dev/null && cd "$dir"; }; then
        cd "$home"
    fi
}
