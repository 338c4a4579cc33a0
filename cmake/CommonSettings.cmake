# Compile options every target of the project shares.
add_library(varnel_compile_options INTERFACE)
target_compile_features(varnel_compile_options INTERFACE cxx_std_20)
target_compile_options(varnel_compile_options INTERFACE
  -Wall -Wextra -Wpedantic
  $<$<BOOL:${VARNEL_WERROR}>:-Werror>)

# What the Qt targets add: no implicit conversion from char*, so every Chinese
# text is spelled out as UTF-8 and converted on purpose.
add_library(varnel_qt_options INTERFACE)
target_link_libraries(varnel_qt_options INTERFACE varnel_compile_options)
target_compile_definitions(varnel_qt_options INTERFACE
  QT_NO_CAST_FROM_ASCII QT_NO_CAST_TO_ASCII QT_NO_NARROWING_CONVERSIONS_IN_CONNECT)
