# Compile options every target of the project shares.
#
# Standard C++20 without the compilers' dialects, so what builds with g++
# builds with clang. The warnings beyond -Wall -Wextra -Wpedantic catch what
# bit C-flavoured code before: casts that say nothing about what they do,
# constness cast away, deleting through a base without a virtual destructor,
# a derived overload hiding the base's, and a local hiding another name.
# Third-party headers (Qt, ICU, MariaDB Connector/C, GoogleTest, benchmark)
# come in as system headers (imported targets and /usr/include), so their
# warnings do not count.
option(VARNEL_WERROR "Treat compiler warnings as errors (CI builds with it)" OFF)

set(CMAKE_CXX_EXTENSIONS OFF)

add_library(varnel_compile_options INTERFACE)
target_compile_features(varnel_compile_options INTERFACE cxx_std_20)
target_compile_options(varnel_compile_options INTERFACE
  -Wall -Wextra -Wpedantic
  -Wold-style-cast -Wnon-virtual-dtor -Woverloaded-virtual -Wcast-qual -Wshadow
  $<$<BOOL:${VARNEL_WERROR}>:-Werror>)

# What the Qt targets add: no implicit conversion from char*, so every Chinese
# text is spelled out as UTF-8 and converted on purpose.
add_library(varnel_qt_options INTERFACE)
target_link_libraries(varnel_qt_options INTERFACE varnel_compile_options)
target_compile_definitions(varnel_qt_options INTERFACE
  QT_NO_CAST_FROM_ASCII QT_NO_CAST_TO_ASCII QT_NO_NARROWING_CONVERSIONS_IN_CONNECT)
