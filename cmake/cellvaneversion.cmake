# Works out this build's version and writes it where the programs, the package and its
# changelog take it from. Runs at every build (cmake -P), so that a new commit shows at once;
# the files are only rewritten when the version changes, so nothing rebuilds needlessly.
#
# In:  SOURCE_DIR, BINARY_DIR, BASE_VERSION (project(VERSION)), CHANGELOG_TEMPLATE, MAINTAINER.
# Out: BINARY_DIR/version.txt, BINARY_DIR/generated/cellvaneversion.cpp,
#      BINARY_DIR/packaging/changelog.
#
# From a checkout the version is BASE_VERSION, then "+" the number of commits and the commit
# ("0.1+57.g1a2b3c4"; ".dirty" when tracked files are modified), so that packages of later
# commits sort later. A commit tagged v<BASE_VERSION> is BASE_VERSION alone, and so is a build
# from an unpacked source tree without git.

set(ENV{LC_ALL} C)
set(version "${BASE_VERSION}")
set(date "")

find_program(GIT_PROGRAM git)
if(GIT_PROGRAM AND EXISTS "${SOURCE_DIR}/.git")
    execute_process(COMMAND "${GIT_PROGRAM}" -C "${SOURCE_DIR}" describe --tags --long
                            --match "v[0-9]*" --dirty=-dirty --abbrev=7
        OUTPUT_VARIABLE described RESULT_VARIABLE tagged
        OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
    if(tagged EQUAL 0 AND described MATCHES "^v[0-9.]+-([0-9]+)-g([0-9a-f]+)(-dirty)?$")
        set(count "${CMAKE_MATCH_1}")
        set(commit "${CMAKE_MATCH_2}")
        set(dirty "${CMAKE_MATCH_3}")
    else()
        execute_process(COMMAND "${GIT_PROGRAM}" -C "${SOURCE_DIR}" describe --always
                                --dirty=-dirty --abbrev=7
            OUTPUT_VARIABLE described RESULT_VARIABLE found
            OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
        execute_process(COMMAND "${GIT_PROGRAM}" -C "${SOURCE_DIR}" rev-list --count HEAD
            OUTPUT_VARIABLE count OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
        if(NOT count MATCHES "^[0-9]+$")
            set(count "")
        elseif(found EQUAL 0 AND described MATCHES "^([0-9a-f]+)(-dirty)?$")
            set(commit "${CMAKE_MATCH_1}")
            set(dirty "${CMAKE_MATCH_2}")
        else()
            set(count "")
        endif()
    endif()
    if(NOT count STREQUAL "" AND NOT (count EQUAL 0 AND dirty STREQUAL ""))
        set(version "${BASE_VERSION}+${count}.g${commit}")
        if(dirty)
            string(APPEND version ".dirty")
        endif()
    endif()
    # The commit's date, so that the same commit always gives the same changelog.
    execute_process(COMMAND "${GIT_PROGRAM}" -C "${SOURCE_DIR}" log -1 --format=%cd
                            "--date=format:%a, %d %b %Y %H:%M:%S %z"
        OUTPUT_VARIABLE date OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
endif()
if(date STREQUAL "")
    # Honours SOURCE_DATE_EPOCH, as reproducible builds expect.
    string(TIMESTAMP date "%a, %d %b %Y %H:%M:%S +0000" UTC)
endif()

file(CONFIGURE OUTPUT "${BINARY_DIR}/version.txt" CONTENT "${version}\n")
file(CONFIGURE OUTPUT "${BINARY_DIR}/generated/cellvaneversion.cpp" CONTENT
"// Written by cmake/cellvaneversion.cmake at every build.
#include \"Util/version.h\"

QString Util::version() { return QStringLiteral(\"${version}\"); }
")
if(CHANGELOG_TEMPLATE)
    set(CELLVANE_VERSION "${version}")
    set(CELLVANE_DATE "${date}")
    set(CELLVANE_MAINTAINER "${MAINTAINER}")
    configure_file("${CHANGELOG_TEMPLATE}" "${BINARY_DIR}/packaging/changelog" @ONLY)
endif()
