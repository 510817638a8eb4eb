# Every target of ours links this, so the warning list actually runs.
add_library(quorvane_warnings INTERFACE)
target_compile_options(quorvane_warnings INTERFACE
  -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Wold-style-cast
  -Woverloaded-virtual -Werror)
