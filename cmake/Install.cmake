# What `cmake --install` lays out, for a till and for integrators:
#   lib/listapresenca/        the libraries, the module and the demo host, side by side as the
#                             host expects; the demo database and the parameter file as links
#   bin/                      the tools, and the demo host as a link
#   include/listapresenca/    the headers a host is built against
#   lib/cmake/ListaPresenca/  find_package(ListaPresenca): ListaPresenca::module, ::pos,
#                             ::platform, ::dataset
#   share/listapresenca/      the schemas; the demo database's original
#   var/lib/listapresenca, etc/listapresenca  the demo database, the parameter file (/var and
#                             /etc for a system install under /usr)
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(LP_PRIVATE_DIR lib/listapresenca)
set(LP_INCLUDE_DIR ${CMAKE_INSTALL_INCLUDEDIR}/listapresenca)
set(LP_CMAKE_DIR lib/cmake/ListaPresenca)
set(LP_SHARE_DIR ${CMAKE_INSTALL_DATADIR}/listapresenca)
# A system install keeps the till's changing data in /var and its configuration in /etc; any
# other prefix keeps them inside itself, so that `cmake --install --prefix DIR` stays in DIR.
if(CMAKE_INSTALL_PREFIX STREQUAL "/usr")
  set(LP_SYSTEM ON)
  set(LP_STATE_DIR /var/lib/listapresenca)
  set(LP_CONF_DIR /etc/listapresenca)
  set(LP_STATE_FULL ${LP_STATE_DIR})
  set(LP_CONF_FULL ${LP_CONF_DIR})
else()
  set(LP_SYSTEM OFF)
  set(LP_STATE_DIR var/lib/listapresenca)
  set(LP_CONF_DIR etc/listapresenca)
  set(LP_STATE_FULL ${CMAKE_INSTALL_PREFIX}/${LP_STATE_DIR})
  set(LP_CONF_FULL ${CMAKE_INSTALL_PREFIX}/${LP_CONF_DIR})
endif()

# An installed host keeps the till's state in the state folder, never beside itself.
target_compile_definitions(platform PRIVATE
  LP_PASTA_INSTALADA="${CMAKE_INSTALL_PREFIX}/${LP_PRIVATE_DIR}"
  LP_PASTA_PROGRAMAS="${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}"
  LP_PASTA_ESTADO="${LP_STATE_FULL}")

set_target_properties(dataset PROPERTIES EXPORT_NAME dataset)
set_target_properties(platform PROPERTIES EXPORT_NAME platform)
set_target_properties(pkg_hul00002 PROPERTIES EXPORT_NAME pos)
set_target_properties(Pkg_Kel00815 PROPERTIES EXPORT_NAME module)
set_target_properties(pdv-host ptbr_sqlite PROPERTIES INSTALL_RPATH "$ORIGIN")
foreach(tool cdstool gerademo geravenda)
  set_target_properties(${tool} PROPERTIES INSTALL_RPATH "$ORIGIN/../${LP_PRIVATE_DIR}")
endforeach()

install(TARGETS dataset platform pkg_hul00002 Pkg_Kel00815
  EXPORT ListaPresencaTargets
  LIBRARY DESTINATION ${LP_PRIVATE_DIR} COMPONENT runtime)
install(TARGETS pdv-host RUNTIME DESTINATION ${LP_PRIVATE_DIR} COMPONENT runtime)
install(TARGETS cdstool gerademo geravenda RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT runtime)
install(TARGETS textorder EXPORT ListaPresencaTargets LIBRARY DESTINATION ${LP_PRIVATE_DIR} COMPONENT runtime)
install(TARGETS ptbr_sqlite LIBRARY DESTINATION ${LP_PRIVATE_DIR} COMPONENT runtime)

# The host finds the module, the database and the parameter file in its own folder.
file(RELATIVE_PATH LP_HOST_FROM_BIN ${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}
     ${CMAKE_INSTALL_PREFIX}/${LP_PRIVATE_DIR}/pdv-host)
# Links across top-level folders are absolute on a system install, relative inside a prefix.
if(LP_SYSTEM)
  set(LP_DB_FROM_PRIVATE ${LP_STATE_FULL}/demo.db)
  set(LP_PARAM_FROM_PRIVATE ${LP_CONF_FULL}/PARAMETROSZOR.CDS)
else()
  file(RELATIVE_PATH LP_DB_FROM_PRIVATE ${CMAKE_INSTALL_PREFIX}/${LP_PRIVATE_DIR}
       ${LP_STATE_FULL}/demo.db)
  file(RELATIVE_PATH LP_PARAM_FROM_PRIVATE ${CMAKE_INSTALL_PREFIX}/${LP_PRIVATE_DIR}
       ${LP_CONF_FULL}/PARAMETROSZOR.CDS)
endif()
set(LP_LINKS ${PROJECT_BINARY_DIR}/links)
file(MAKE_DIRECTORY ${LP_LINKS}/bin ${LP_LINKS}/private)
file(CREATE_LINK ${LP_HOST_FROM_BIN} ${LP_LINKS}/bin/pdv-host SYMBOLIC)
file(CREATE_LINK ${LP_DB_FROM_PRIVATE} ${LP_LINKS}/private/demo.db SYMBOLIC)
file(CREATE_LINK ${LP_PARAM_FROM_PRIVATE} ${LP_LINKS}/private/PARAMETROSZOR.CDS SYMBOLIC)
install(FILES ${LP_LINKS}/bin/pdv-host DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT runtime)
install(FILES ${LP_LINKS}/private/demo.db ${LP_LINKS}/private/PARAMETROSZOR.CDS
  DESTINATION ${LP_PRIVATE_DIR} COMPONENT runtime)

# The demo till: made at build time, installed as the till's data.
add_custom_command(
  OUTPUT ${PROJECT_BINARY_DIR}/demo/demo.db ${PROJECT_BINARY_DIR}/demo/PARAMETROSZOR.CDS
  COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/demo
  COMMAND ${CMAKE_COMMAND} -E rm -f ${PROJECT_BINARY_DIR}/demo/demo.db
  COMMAND gerademo --out ${PROJECT_BINARY_DIR}/demo/demo.db
  COMMAND cdstool param ${PROJECT_BINARY_DIR}/demo/PARAMETROSZOR.CDS --filial 0001 --caixa 001
          --esquema 001 --cores 8421504,14079702,8388608,16777215,12632256,0
  DEPENDS gerademo cdstool
  COMMENT "Dados de demonstração da instalação")
add_custom_target(demo_instalacao ALL
  DEPENDS ${PROJECT_BINARY_DIR}/demo/demo.db ${PROJECT_BINARY_DIR}/demo/PARAMETROSZOR.CDS)
install(FILES ${PROJECT_BINARY_DIR}/demo/demo.db
  DESTINATION ${LP_STATE_DIR} COMPONENT runtime)
install(FILES ${PROJECT_BINARY_DIR}/demo/PARAMETROSZOR.CDS
  DESTINATION ${LP_CONF_DIR} COMPONENT runtime)
install(FILES ${PROJECT_SOURCE_DIR}/db/schema_sqlite.sql ${PROJECT_SOURCE_DIR}/db/schema_sqlite_ptbr.sql
  ${PROJECT_SOURCE_DIR}/db/schema_sqlserver.sql ${PROJECT_SOURCE_DIR}/db/schema_postgresql.sql
  DESTINATION ${LP_SHARE_DIR} COMPONENT runtime)

# The headers a host integrator compiles against.
install(FILES ${PROJECT_SOURCE_DIR}/include/pkg_kel00815/ListaPresenca.h
  ${PROJECT_BINARY_DIR}/generated/pkg_kel00815/kel00815_export.h
  DESTINATION ${LP_INCLUDE_DIR}/pkg_kel00815 COMPONENT sdk)
install(FILES ${PROJECT_SOURCE_DIR}/include/hul00002/Hul00002.h
  ${PROJECT_BINARY_DIR}/generated/hul00002/hul00002_export.h
  DESTINATION ${LP_INCLUDE_DIR}/hul00002 COMPONENT sdk)
install(FILES ${PROJECT_SOURCE_DIR}/src/platform/Platform.h
  ${PROJECT_BINARY_DIR}/generated/platform/platform_export.h
  DESTINATION ${LP_INCLUDE_DIR}/platform COMPONENT sdk)
install(FILES ${PROJECT_SOURCE_DIR}/src/dataset/ClientDataSet.h
  ${PROJECT_SOURCE_DIR}/src/dataset/DataPacket.h ${PROJECT_SOURCE_DIR}/src/dataset/FieldDef.h
  ${PROJECT_BINARY_DIR}/generated/dataset/dataset_export.h
  DESTINATION ${LP_INCLUDE_DIR}/dataset COMPONENT sdk)

install(EXPORT ListaPresencaTargets NAMESPACE ListaPresenca:: DESTINATION ${LP_CMAKE_DIR}
  COMPONENT sdk)
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/ListaPresencaConfig.cmake.in
  ${PROJECT_BINARY_DIR}/ListaPresencaConfig.cmake INSTALL_DESTINATION ${LP_CMAKE_DIR}
  PATH_VARS LP_PRIVATE_DIR)
write_basic_package_version_file(${PROJECT_BINARY_DIR}/ListaPresencaConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/ListaPresencaConfig.cmake
  ${PROJECT_BINARY_DIR}/ListaPresencaConfigVersion.cmake DESTINATION ${LP_CMAKE_DIR}
  COMPONENT sdk)

# The Debian package: scripts/make-deb.sh builds it (Release, no tests, prefix /usr).
# Debian's documentation: the copyright, the changelog and a manual page per program, gzipped.
set(LP_GZ ${PROJECT_BINARY_DIR}/packaging)
set(LP_GZ_FILES)
foreach(src changelog man/pdv-host.1 man/cdstool.1 man/gerademo.1 man/geravenda.1)
  set(out ${LP_GZ}/${src}.gz)
  get_filename_component(outdir ${out} DIRECTORY)
  add_custom_command(OUTPUT ${out}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${outdir}
    COMMAND gzip -9nc ${PROJECT_SOURCE_DIR}/packaging/${src} > ${out}
    DEPENDS ${PROJECT_SOURCE_DIR}/packaging/${src})
  list(APPEND LP_GZ_FILES ${out})
endforeach()
add_custom_target(documentacao_pacote ALL DEPENDS ${LP_GZ_FILES})
install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright ${LP_GZ}/changelog.gz
  DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/lista-presenca COMPONENT runtime)
install(FILES ${LP_GZ}/man/pdv-host.1.gz ${LP_GZ}/man/cdstool.1.gz ${LP_GZ}/man/gerademo.1.gz
  ${LP_GZ}/man/geravenda.1.gz
  DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT runtime)
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME lista-presenca)
set(CPACK_PACKAGE_VENDOR "Equipe Lista de Presença")
set(CPACK_PACKAGE_CONTACT "Equipe Lista de Presença <suporte@lista-presenca.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "tela de lista de presença do PDV de refeitório")
set(CPACK_PACKAGE_DESCRIPTION
  "O módulo Lista de Presença de um ponto de venda de refeitório, com as\n\
bibliotecas da plataforma e dos serviços de PDV, o host de demonstração,\n\
as ferramentas, os esquemas de banco e um banco de demonstração.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
  "libc6 (>= 2.34), libstdc++6 (>= 12), libgcc-s1, libqt6core6 (>= 6.4), libqt6gui6 (>= 6.4), \
libqt6widgets6 (>= 6.4), libqt6printsupport6 (>= 6.4), libqt6sql6 (>= 6.4), libqt6svg6 (>= 6.4), \
libqt6sql6-sqlite (>= 6.4), \
libqt6sql6-odbc (>= 6.4), libsqlite3-0 (>= 3.40), unixodbc, tdsodbc, fonts-liberation, \
fonts-dejavu-core, adduser")
# A branch whose tills share a PostgreSQL server.
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "odbc-postgresql, libqt6sql6-psql")
# The maintainer scripts make the till's group and its writable state folder (and a purge
# removes both); adduser gives them addgroup.
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${PROJECT_SOURCE_DIR}/packaging/conffiles
  ${PROJECT_SOURCE_DIR}/packaging/postinst ${PROJECT_SOURCE_DIR}/packaging/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)
include(CPack)
