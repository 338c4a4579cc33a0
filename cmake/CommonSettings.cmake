# Compile settings every target of the project shares.
add_library(varnel_settings INTERFACE)
target_compile_features(varnel_settings INTERFACE cxx_std_20)
target_compile_options(varnel_settings INTERFACE
  -Wall -Wextra -Wpedantic
  $<$<BOOL:${VARNEL_WERROR}>:-Werror>)
# Qt code gets no implicit conversion from char*: every Chinese text is spelled
# out as UTF-8 and converted on purpose.
target_compile_definitions(varnel_settings INTERFACE
  QT_NO_CAST_FROM_ASCII QT_NO_CAST_TO_ASCII QT_NO_NARROWING_CONVERSIONS_IN_CONNECT)
