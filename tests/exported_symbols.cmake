# SPDX-License-Identifier: MIT
# The shared library exports its public classes and nothing of its platform
# layer or internal classes. Arguments: LIBRARY; OBJDUMP for a Windows DLL,
# whose export table must hold nothing but members of the public classes and
# of the records (Block, SheetScope), their vtables and type information.
if(OBJDUMP)
  string(REGEX REPLACE "objdump$" "c++filt" CXXFILT "${OBJDUMP}")
  execute_process(COMMAND ${OBJDUMP} -p ${LIBRARY} COMMAND ${CXXFILT}
    OUTPUT_VARIABLE table RESULT_VARIABLE result)
  # The export table's lines "\t[ <ordinal>] <name>", without their brackets.
  string(FIND "${table}" "[Ordinal/Name Pointer] Table" at)
  string(SUBSTRING "${table}" ${at} -1 table)
  string(REGEX REPLACE "\n\t\\[ *[0-9]+\\] " "\nexport: " table "${table}")
  string(REGEX MATCHALL "\nexport: [^\n]+" names "${table}")
  if(NOT result EQUAL 0 OR NOT names)
    message(FATAL_ERROR "no export table read from ${LIBRARY}")
  endif()
  foreach(name IN LISTS names)
    if(NOT name MATCHES "^\nexport: ((typeinfo for |vtable for )?(CKrCommon|CKrLumoParaFile)|Block|SheetScope)(::|$)")
      message(FATAL_ERROR "exported beyond the public classes: ${name}")
    endif()
  endforeach()
  string(REPLACE ";" "\n" symbols "${names}")
else()
  find_program(NM nm REQUIRED)
  execute_process(COMMAND ${NM} -D -C --defined-only ${LIBRARY}
    OUTPUT_VARIABLE symbols RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "nm failed on ${LIBRARY}")
  endif()
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
