# Constants of the build: server addresses, accounts and probes. Each one can be overridden at
# run time by the environment variable VENTRAIDE_<NAME> (see src/app/BuildConfig.h).
set(VENTRA_DOWNLOAD_URL "http://127.0.0.1:18080/ventraide/files/" CACHE STRING "download server files folder")
set(VENTRA_PROBE_URL "http://127.0.0.1:18080/generate_204" CACHE STRING "connectivity probe")
set(VENTRA_PORTAL_URL "http://127.0.0.1:18080/portal/" CACHE STRING "portal query API")
set(VENTRA_API_HOST "http://127.0.0.1" CACHE STRING "back-office host")
set(VENTRA_API_PORT_CORE "18081" CACHE STRING "back-office core API port")
set(VENTRA_API_PORT_LOGS "18082" CACHE STRING "back-office log-archive API port")
set(VENTRA_API_PORT_SUPPORT "18083" CACHE STRING "back-office support-platform API port")
set(VENTRA_CEP_URL "http://127.0.0.1:18080/cep/" CACHE STRING "postal-code lookup")
set(VENTRA_FTP_HOST "127.0.0.1" CACHE STRING "log FTP host")
set(VENTRA_FTP_PORT "18021" CACHE STRING "log FTP port")
set(VENTRA_FTP_USER "ventralogs" CACHE STRING "log FTP account")
set(VENTRA_FTP_PASSWORD "ventralogs" CACHE STRING "log FTP password")
set(VENTRA_SALES_NUMBER "+55 11 0000-0000" CACHE STRING "sales telephone")
set(VENTRA_HOME_PAGE "http://127.0.0.1:18080/" CACHE STRING "home page")
configure_file(${CMAKE_SOURCE_DIR}/src/app/BuildConfigValues.h.in
               ${CMAKE_BINARY_DIR}/generated/BuildConfigValues.h @ONLY)
