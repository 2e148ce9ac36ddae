# SPDX-License-Identifier: MIT
# The shared library exports its public classes and nothing of its platform
# layer or internal classes. Argument: LIBRARY.
find_program(NM nm REQUIRED)
execute_process(COMMAND ${NM} -D -C --defined-only ${LIBRARY}
  OUTPUT_VARIABLE symbols RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "nm failed on ${LIBRARY}")
endif()

foreach(expected
    "CKrCommon::GetSingleTon()"
    "CKrCommon::GetSinglePton()"
    "CKrCommon::calBlock("
    "CKrCommon::convertToU8("
    "CKrCommon::vtrcToChar(char*"
    "CKrCommon::blockUserRelation("
    "Block::relateSheet(SheetScope const&)"
    "CKrCommon::insertLineBreak(QString&, int)"
    "CKrCommon::RecureDir(QString const&)"
    "CKrCommon::compareFile(char const*, char const*)"
    "CKrCommon::staticMetaObject"
    "CKrCommon::m_Instance"
    "CKrLumoParaFile::CKrLumoParaFile(IMAGE_TYPE_INFO)"
    "CKrLumoParaFile::operator="
    "CKrLumoParaFile::load4File(char const*)"
    "CKrLumoParaFile::save2File(char const*)"
    "CKrLumoParaFile::addViewFile(char const*, bool)"
    "CKrLumoParaFile::delViewFile(char const*)"
    "CKrLumoParaFile::removeParaFile(char const*)"
    "CKrLumoParaFile::isCanShow(char const*)")
  string(FIND "${symbols}" "${expected}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "missing export: ${expected}")
  endif()
endforeach()

foreach(internal "krcommon::" "CLMFile" "CKrViewParaFileImp" "CKrFreeSelf" "ScopedLock")
  string(FIND "${symbols}" "${internal}" at)
  if(NOT at EQUAL -1)
    string(SUBSTRING "${symbols}" ${at} 120 context)
    message(FATAL_ERROR "internal symbol exported: ${context}")
  endif()
endforeach()
message(STATUS "exports checked")
