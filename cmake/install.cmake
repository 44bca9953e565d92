# Installation as a desktop program: the executable, the shared data a new data folder is seeded
# from, the launcher, the icon, the AppStream record and the user units of the daily update; and the
# Debian package made from the same rules by CPack.
include(GNUInstallDirs)

set(EURIBOR_APP_ID it.quotazionieuribor.QuotazioniEuribor)
set(EURIBOR_LINUX_DIR ${PROJECT_SOURCE_DIR}/data/linux)
set(EURIBOR_SHARE_DIR ${CMAKE_INSTALL_DATADIR}/quotazioni-euribor)

# The empty database shipped for seeding. Made apart from the program folder's one, which collects
# the rates of every run from the build tree and must never end up in a package.
set(EURIBOR_EMPTY_DB ${CMAKE_BINARY_DIR}/share/EURIBOR.MDB)
add_custom_command(OUTPUT ${EURIBOR_EMPTY_DB}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/share
    COMMAND ${CMAKE_COMMAND} -E rm -f ${EURIBOR_EMPTY_DB}
    COMMAND make_db ${PROJECT_SOURCE_DIR}/data/schema.sql ${EURIBOR_EMPTY_DB}
    DEPENDS make_db ${PROJECT_SOURCE_DIR}/data/schema.sql
    COMMENT "Empty history database for installation"
    VERBATIM)
add_custom_target(euribor_empty_db ALL DEPENDS ${EURIBOR_EMPTY_DB})

# The manual page and the Debian changelog, compressed as Debian wants them: no name, no time stamp.
# The maintainer is set before the changelog is made from it, on the first configure too.
set(EURIBOR_DEB_MAINTAINER "Quotazioni Euribor <quotazioni-euribor@example.invalid>"
    CACHE STRING "Maintainer written into the Debian package")
configure_file(${EURIBOR_LINUX_DIR}/changelog.in ${CMAKE_BINARY_DIR}/linux/changelog @ONLY)
set(EURIBOR_GZIPPED)
foreach(file ${EURIBOR_LINUX_DIR}/euribor.1 ${CMAKE_BINARY_DIR}/linux/changelog)
    get_filename_component(name ${file} NAME)
    set(gz ${CMAKE_BINARY_DIR}/share/${name}.gz)
    add_custom_command(OUTPUT ${gz}
        COMMAND sh -c "gzip -9n -c \"$1\" > \"$2\"" sh ${file} ${gz}
        DEPENDS ${file}
        VERBATIM)
    list(APPEND EURIBOR_GZIPPED ${gz})
endforeach()
add_custom_target(euribor_gzipped_docs ALL DEPENDS ${EURIBOR_GZIPPED})

set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

install(TARGETS euribor RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS euribor_window LIBRARY DESTINATION ${EURIBOR_MODULE_DIR})
# A stripped program also loses the compiler's version notes, as dh_strip does.
install(CODE "
    if(CMAKE_INSTALL_DO_STRIP)
        set(root \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}\")
        execute_process(COMMAND \"${CMAKE_STRIP}\" --remove-section=.comment
                                \"\${root}/${CMAKE_INSTALL_BINDIR}/euribor\"
                                \"\${root}/${EURIBOR_MODULE_DIR}/euribor-finestra.so\"
                        COMMAND_ERROR_IS_FATAL ANY)
    endif()")
install(FILES ${PROJECT_SOURCE_DIR}/data/Euribor_PORTALEDATI.txt ${EURIBOR_EMPTY_DB}
              ${PROJECT_SOURCE_DIR}/data/schema.sql
        DESTINATION ${EURIBOR_SHARE_DIR})
install(FILES ${EURIBOR_LINUX_DIR}/quotazioni-euribor.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${EURIBOR_LINUX_DIR}/${EURIBOR_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${CMAKE_BINARY_DIR}/share/euribor.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${EURIBOR_LINUX_DIR}/euribor.bash-completion DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions
        RENAME euribor)
install(FILES ${EURIBOR_LINUX_DIR}/copyright ${CMAKE_BINARY_DIR}/share/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/quotazioni-euribor)
install(FILES ${EURIBOR_LINUX_DIR}/lintian-overrides DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides
        RENAME quotazioni-euribor)
# The launcher and the service name the installed executable by its full path, and the user units
# go where systemd looks for them below the prefix, so these are laid out when installing: the prefix
# given to `cmake --install --prefix` (or CPack's /usr) is only known then.
install(CODE "
    set(euribor_linux_dir \"${EURIBOR_LINUX_DIR}\")
    set(euribor_out_dir \"${CMAKE_BINARY_DIR}/linux\")
    set(euribor_app_id \"${EURIBOR_APP_ID}\")
    set(euribor_bindir \"${CMAKE_INSTALL_BINDIR}\")
    set(euribor_datadir \"${CMAKE_INSTALL_DATADIR}\")")
install(CODE [[
    if(IS_ABSOLUTE "${euribor_bindir}")
        set(CMAKE_INSTALL_FULL_BINDIR "${euribor_bindir}")
    else()
        set(CMAKE_INSTALL_FULL_BINDIR "${CMAKE_INSTALL_PREFIX}/${euribor_bindir}")
    endif()
    # systemd's user unit folders: lib/systemd/user below /usr and /usr/local, share/systemd/user
    # below ~/.local (XDG_DATA_HOME) and the other data folders.
    if(CMAKE_INSTALL_PREFIX STREQUAL "/usr" OR CMAKE_INSTALL_PREFIX STREQUAL "/usr/local")
        set(unit_dir "${CMAKE_INSTALL_PREFIX}/lib/systemd/user")
    else()
        set(unit_dir "${CMAKE_INSTALL_PREFIX}/${euribor_datadir}/systemd/user")
    endif()
    configure_file("${euribor_linux_dir}/quotazioni-euribor-aggiorna.service.in"
                   "${euribor_out_dir}/quotazioni-euribor-aggiorna.service" @ONLY)
    configure_file("${euribor_linux_dir}/${euribor_app_id}.desktop.in"
                   "${euribor_out_dir}/${euribor_app_id}.desktop" @ONLY)
    file(INSTALL DESTINATION "${unit_dir}" TYPE FILE
         FILES "${euribor_out_dir}/quotazioni-euribor-aggiorna.service"
               "${euribor_linux_dir}/quotazioni-euribor-aggiorna.timer")
    file(INSTALL DESTINATION "${CMAKE_INSTALL_PREFIX}/${euribor_datadir}/applications" TYPE FILE
         FILES "${euribor_out_dir}/${euribor_app_id}.desktop")
]])

# cpack -G DEB. Staged through DESTDIR with /usr as the install prefix, so the service configured
# above names /usr/bin/euribor and not the staging folder.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quotazioni-euribor)
set(CPACK_PACKAGE_VENDOR "Quotazioni Euribor")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "registro giornaliero dei tassi Euribor")
# Lines within 80 columns, as Debian's tools show them.
set(CPACK_PACKAGE_DESCRIPTION
    "Programma per il desktop che a ogni avvio scarica la pagina dei tassi del\n"
    "fornitore, registra il tasso e la data di ogni scadenza Euribor in un file\n"
    "storico, in un file CSV e in un database, ne elenca lo storico e lo disegna\n"
    "in un grafico a barre. Un timer utente di systemd facoltativo aggiorna il\n"
    "registro ogni giorno lavorativo senza aprire la finestra.")
string(JOIN "" CPACK_PACKAGE_DESCRIPTION ${CPACK_PACKAGE_DESCRIPTION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_SET_DESTDIR ON)
set(CPACK_INSTALL_PREFIX ${CPACK_PACKAGING_INSTALL_PREFIX})
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${EURIBOR_DEB_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Loaded at run time, so dpkg-shlibdeps cannot see them: Qt's Italian texts.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-translations-l10n")
# The window's widths were laid out for a font of Arial's metrics: in a wider one long captions run
# under the buttons beside them.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-liberation2")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
