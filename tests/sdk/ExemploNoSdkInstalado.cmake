# Installs the build into a scratch prefix, builds the example host against that prefix alone
# (never the build tree) and runs it in screenshot mode on the installed demo data.
# cmake -DBUILD=... -DSOURCE=... -DWORK=... -P ExemploNoSdkInstalado.cmake
file(REMOVE_RECURSE ${WORK})
set(prefix ${WORK}/prefixo)
function(roda)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err
                  TIMEOUT 400)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "falhou (${rc}): ${ARGN}\n${out}\n${err}")
  endif()
endfunction()
roda(${CMAKE_COMMAND} --install ${BUILD} --prefix ${prefix})
roda(${CMAKE_COMMAND} -S ${SOURCE}/examples/host-minimo -B ${WORK}/host -G Ninja
     -DCMAKE_PREFIX_PATH=${prefix} -DCMAKE_BUILD_TYPE=Release "-DCMAKE_CXX_FLAGS=${FLAGS}"
     "-DCMAKE_EXE_LINKER_FLAGS=${FLAGS}")
roda(${CMAKE_COMMAND} --build ${WORK}/host)
file(STRINGS ${WORK}/host/CMakeCache.txt dirs REGEX "ListaPresenca_DIR")
if(NOT dirs MATCHES "${prefix}")
  message(FATAL_ERROR "o exemplo não usou o SDK instalado: ${dirs}")
endif()
set(ENV{QT_QPA_PLATFORM} offscreen)
# The example lives in a folder of its own: it names the installed demo database.
set(ENV{LISTAPRESENCA_CONEXAO} ${prefix}/var/lib/listapresenca/demo.db)
roda(${WORK}/host/host-minimo --screenshot ${WORK}/tela.png)
if(NOT EXISTS ${WORK}/tela.png)
  message(FATAL_ERROR "o exemplo não salvou a tela")
endif()
message(STATUS "exemplo construído no SDK instalado em ${prefix} e tela salva")
