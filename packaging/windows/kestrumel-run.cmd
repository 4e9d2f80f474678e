@echo off
rem kestrumel-run.cmd RUNDIR CONFIG ERF A3 A4 A5 JBD JBK PLANGROUP [A9 A10 A11]
rem One scheduled run: kestrumel in RUNDIR (its log goes to RUNDIR\..\quelborne_php\log), then
rem "kestrumel-config status CONFIG PLANGROUP" on the run's report. Its exit status is this
rem script's: 0 OK, 1 WARNING, 2 CRITICAL, 3 UNKNOWN, so that the task's Last Run Result shows
rem a run that went wrong. Quote a value with blanks. Kept in the zip's scheduler folder.
setlocal
set "bin=%~dp0.."
if "%~1"=="" goto usage
rem Checked before: cd leaves the error level alone when it succeeds.
if not exist "%~1\" goto usage
cd /d "%~1"
shift
set config=%1
set group=%8
set args=
:collect
if [%1]==[] goto run
set args=%args% %1
shift
goto collect

:run
"%bin%\kestrumel.exe"%args%
rem kestrumel ends with 0 whenever it ran: anything else is a run that did not start or was
rem ended from outside.
if errorlevel 1 exit /b 2
"%bin%\kestrumel-config.exe" status %config% %group%
exit /b %errorlevel%

:usage
echo usage: %~nx0 RUNDIR CONFIG ERF A3 A4 A5 JBD JBK PLANGROUP [A9 A10 A11] 1>&2
echo RUNDIR must be an existing folder. 1>&2
exit /b 3
