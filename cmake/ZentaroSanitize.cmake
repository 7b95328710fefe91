# ZENTARO_SANITIZE=address builds everything with AddressSanitizer and UBSan,
# ZENTARO_SANITIZE=thread with ThreadSanitizer.
set(ZENTARO_SANITIZE "" CACHE STRING "Sanitizer build: empty, address or thread")
set_property(CACHE ZENTARO_SANITIZE PROPERTY STRINGS "" address thread)

if(ZENTARO_SANITIZE STREQUAL "address")
    set(_zentaro_san_flags -fsanitize=address,undefined -fno-sanitize-recover=undefined
        -fno-omit-frame-pointer)
elseif(ZENTARO_SANITIZE STREQUAL "thread")
    set(_zentaro_san_flags -fsanitize=thread -fno-omit-frame-pointer)
elseif(NOT ZENTARO_SANITIZE STREQUAL "")
    message(FATAL_ERROR "ZENTARO_SANITIZE must be empty, 'address' or 'thread'")
endif()

if(_zentaro_san_flags)
    add_compile_options(${_zentaro_san_flags})
    add_link_options(${_zentaro_san_flags})
endif()
