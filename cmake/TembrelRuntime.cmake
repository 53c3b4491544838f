# The C++ runtime linked in and kept private: a plug-in loads in a fraction of the time the
# shared libstdc++ takes to relocate, which dominates a one-file command, and its runtime can
# never clash with the host program's.
function(tembrel_static_cxx_runtime target)
  target_link_options(${target} PRIVATE -static-libstdc++ -static-libgcc -Wl,--exclude-libs,ALL)
endfunction()
