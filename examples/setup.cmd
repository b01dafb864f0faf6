@echo off
rem Installer script of the Lark Notes sample kit.
rem
rem The kit unpacks its members into a fresh working directory and starts this
rem script there through the command interpreter, with the arguments the kit
rem itself was started with:
rem     setup.cmd LANGUAGE TARGET-DIRECTORY
rem INSTALL_LOGFILE names the kit's install log; every step is recorded there.
rem The exit code becomes the kit's exit status:
rem     0  installed
rem     2  no target directory given
rem     3  neither a licence section for the language nor [Default] was found
rem     4  the target directory cannot be created
rem     5  a payload file could not be copied
setlocal EnableExtensions
set "LANGUAGE=%~1"
set "TARGET=%~2"
set "FAILED="
if not defined LANGUAGE set "LANGUAGE=Default"
if not defined INSTALL_LOGFILE set "INSTALL_LOGFILE=%~dp0setup.log"

call :log "setup: started in %CD%"
call :log "setup: language %LANGUAGE%, target %TARGET%"
if not defined TARGET (
  call :log "setup: usage: KIT LANGUAGE TARGET-DIRECTORY"
  exit /b 2
)

if not exist "%TARGET%\docs\" mkdir "%TARGET%\docs"
if not exist "%TARGET%\docs\" (
  call :log "setup: cannot create %TARGET%"
  exit /b 4
)

rem secpick takes [Default] when the language has no section of its own. The
rem licence comes in two encodings to show both; a real kit needs only one.
secpick.exe "%LANGUAGE%" licence-utf16.txt "%TARGET%\LICENCE.txt"
set "PICKED=%ERRORLEVEL%"
if %PICKED% LSS 0 (
  call :log "setup: no licence text for %LANGUAGE%, secpick exit code %PICKED%"
  exit /b 3
)
call :log "setup: licence cut from the UTF-16 file, %PICKED% lines"
secpick.exe "%LANGUAGE%" licence.txt "%TARGET%\LICENCE-8bit.txt"
call :log "setup: licence cut from the 8-bit file, %ERRORLEVEL% lines"

for %%F in (payload\*.*) do call :install "%%F" "%TARGET%"
for %%F in (payload\docs\*.*) do call :install "%%F" "%TARGET%\docs"
if defined FAILED exit /b 5
call :log "setup: done"
exit /b 0

:install
copy /y "%~1" "%~2\" >nul
if errorlevel 1 (
  set "FAILED=1"
  call :log "setup: could not copy %~1"
  exit /b 1
)
call :log "setup: installed %~2\%~nx1"
exit /b 0

:log
>>"%INSTALL_LOGFILE%" echo %~1
exit /b 0
