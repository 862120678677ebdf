# Runs widl on zeph.idl. The host's type library is put where widl looks for imported libraries,
# under the resource name the type library records for it.
# Inputs: WIDL, ARCH, IDL, HOST_TLB, HOST_IDL_DIR, WIDL_INCLUDE, STDOLE_DIR, OUT_DIR.
file(MAKE_DIRECTORY ${OUT_DIR}/importlib)
file(COPY_FILE ${HOST_TLB} "${OUT_DIR}/importlib/Tellur.exe\\110" ONLY_IF_DIFFERENT)
execute_process(
  COMMAND ${WIDL} ${ARCH} -I${WIDL_INCLUDE} -I${HOST_IDL_DIR} -L${STDOLE_DIR} -L${OUT_DIR}/importlib
          -t -T ${OUT_DIR}/zeph.tlb -h -H ${OUT_DIR}/zeph.h -u -U ${OUT_DIR}/zeph_i.c ${IDL}
  RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "widl failed on ${IDL}")
endif()
