# cmake -DVERSION=1.09 -DCHANGELOG=packaging/changelog -DMETAINFO=packaging/....metainfo.xml -P
# Fails when the newest entry of the Debian changelog or the newest release of the AppStream
# metadata is not VERSION: a new version needs both, with its date.
file(STRINGS "${CHANGELOG}" first LIMIT_COUNT 1)
if(NOT first MATCHES "^tavisto \\(([^)]+)\\) ")
  message(FATAL_ERROR "${CHANGELOG}: the first line is not a changelog entry: ${first}")
endif()
if(NOT CMAKE_MATCH_1 STREQUAL VERSION)
  message(FATAL_ERROR "${CHANGELOG}: the newest entry is ${CMAKE_MATCH_1}, not ${VERSION}")
endif()
file(READ "${METAINFO}" metainfo)
if(NOT metainfo MATCHES "<release version=\"([^\"]+)\" date=\"[0-9]+-[0-9]+-[0-9]+\"")
  message(FATAL_ERROR "${METAINFO}: no <release version=... date=...>")
endif()
if(NOT CMAKE_MATCH_1 STREQUAL VERSION)
  message(FATAL_ERROR "${METAINFO}: the newest release is ${CMAKE_MATCH_1}, not ${VERSION}")
endif()
