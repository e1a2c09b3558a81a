# Run by cpack between installing into its staging folder and packing it: zsh on
# Debian looks for the completions of packages in /usr/share/zsh/vendor-completions,
# not in the site-functions folder that a /usr/local installation uses.
file(GLOB_RECURSE site_files "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*/share/zsh/site-functions/*")
set(site_folders)
foreach(file IN LISTS site_files)
  get_filename_component(folder "${file}" DIRECTORY)
  get_filename_component(zsh "${folder}" DIRECTORY)
  file(MAKE_DIRECTORY "${zsh}/vendor-completions")
  get_filename_component(name "${file}" NAME)
  file(RENAME "${file}" "${zsh}/vendor-completions/${name}")
  list(APPEND site_folders "${folder}")
endforeach()
if(site_folders)
  list(REMOVE_DUPLICATES site_folders)
  file(REMOVE_RECURSE ${site_folders})
endif()
