@echo off
rem run-tests.cmd [x86 or x64]: runs the test programs of this bundle on Windows 10 or 11, those
rem of both halves unless one is named, each program once, and ends with the line
rem "N passed, M failed", one count per test program. Each program's own output goes to
rem logs\<half>\<program>.log beside this file. Run it from a folder whose path is plain
rem ASCII, as a user who may write there (the tests make their files in its TEMP folder).
setlocal enabledelayedexpansion
set passed=0
set failed=0
set halves=%~1
if "%halves%"=="" set halves=x86 x64
for %%h in (%halves%) do (
    if not exist "%~dp0%%h\" (
        echo FAILED %%h: no such half in this bundle
        set /a failed+=1
    ) else (
        set "QV_TEST_DATA_DIR=%~dp0%%h"
        if not exist "%~dp0logs\%%h" mkdir "%~dp0logs\%%h"
        pushd "%~dp0%%h"
        for %%t in (*Test.exe) do (
            "%%~ft" >"%~dp0logs\%%h\%%~nt.log" 2>&1
            if errorlevel 1 (
                set /a failed+=1
                echo FAILED %%h\%%t, see logs\%%h\%%~nt.log
            ) else (
                set /a passed+=1
                echo passed %%h\%%t
            )
        )
        popd
    )
)
echo !passed! passed, !failed! failed
if !failed! neq 0 exit /b 1
exit /b 0
