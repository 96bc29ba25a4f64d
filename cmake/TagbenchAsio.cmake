# Standalone Asio (libasio-dev) as one target for every user: the network reader server and
# tagbench-gateway.
add_library(tagbench_asio INTERFACE)
target_compile_definitions(tagbench_asio INTERFACE ASIO_STANDALONE ASIO_NO_DEPRECATED)
target_link_libraries(tagbench_asio INTERFACE Threads::Threads)
# ThreadSanitizer does not model the fences Asio places around handler calls (GCC refuses them
# under -fsanitize=thread); without them Asio's hand-overs go through its locks alone, which
# the sanitizer does follow.
if(TAGBENCH_SANITIZE MATCHES "thread")
  target_compile_definitions(tagbench_asio INTERFACE ASIO_DISABLE_FENCED_BLOCK)
endif()
