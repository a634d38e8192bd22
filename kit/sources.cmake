# The service library's sources, listed once: kit/CMakeLists.txt builds them
# all, and the fuzzing build (fuzz/CMakeLists.txt) the decoding part alone.

# Records and their decoding, dates and the info file: Qt Core and the JSON
# parser, nothing else.
set(vesko_kit_decoding_sources
  ${CMAKE_CURRENT_LIST_DIR}/Channel.cpp ${CMAKE_CURRENT_LIST_DIR}/Channel.h
  ${CMAKE_CURRENT_LIST_DIR}/ChannelAmount.h
  ${CMAKE_CURRENT_LIST_DIR}/DataEnvelope.h
  ${CMAKE_CURRENT_LIST_DIR}/DecodingError.cpp ${CMAKE_CURRENT_LIST_DIR}/DecodingError.h
  ${CMAKE_CURRENT_LIST_DIR}/EventKind.cpp
  ${CMAKE_CURRENT_LIST_DIR}/InternetDateTime.cpp ${CMAKE_CURRENT_LIST_DIR}/InternetDateTime.h
  ${CMAKE_CURRENT_LIST_DIR}/JsonDecoder.cpp ${CMAKE_CURRENT_LIST_DIR}/JsonDecoder.h
  ${CMAKE_CURRENT_LIST_DIR}/KeyConversion.cpp ${CMAKE_CURRENT_LIST_DIR}/KeyConversion.h
  ${CMAKE_CURRENT_LIST_DIR}/Me.h
  ${CMAKE_CURRENT_LIST_DIR}/ProjectAmount.h
  ${CMAKE_CURRENT_LIST_DIR}/Records.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Summary.h
  ${CMAKE_CURRENT_LIST_DIR}/VeskoConfig.cpp ${CMAKE_CURRENT_LIST_DIR}/VeskoConfig.h
  ${CMAKE_CURRENT_LIST_DIR}/VeskoEvent.h
)

# The rest: the API client (Qt Network), money text (ICU), time text, PKCE.
set(vesko_kit_sources
  ${vesko_kit_decoding_sources}
  ${CMAKE_CURRENT_LIST_DIR}/APIClient.cpp ${CMAKE_CURRENT_LIST_DIR}/APIClient.h
  ${CMAKE_CURRENT_LIST_DIR}/APIError.cpp ${CMAKE_CURRENT_LIST_DIR}/APIError.h
  ${CMAKE_CURRENT_LIST_DIR}/HttpCall.cpp ${CMAKE_CURRENT_LIST_DIR}/HttpCall.h
  ${CMAKE_CURRENT_LIST_DIR}/HttpSession.h
  ${CMAKE_CURRENT_LIST_DIR}/Money.cpp ${CMAKE_CURRENT_LIST_DIR}/Money.h
  ${CMAKE_CURRENT_LIST_DIR}/PKCE.cpp ${CMAKE_CURRENT_LIST_DIR}/PKCE.h
  ${CMAKE_CURRENT_LIST_DIR}/TimeAgo.cpp ${CMAKE_CURRENT_LIST_DIR}/TimeAgo.h
)
