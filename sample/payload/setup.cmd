@echo off
rem Runs in the folder the self-extractor extracted to; reports where it ran,
rem what it was given and which files it sees.
echo setup ran in: %CD%
echo arguments: %*
echo files:
dir /s /b /a-d
