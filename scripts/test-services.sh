#!/usr/bin/env bash
# Services the tests need; the database helper fills these in.
start_test_services() { :; }
stop_test_services() { :; }
