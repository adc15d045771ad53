; Script-Fu checks of the Pictomarker plug-in inside GIMP. Each check reports
; "PMK-PASS name" or "PMK-FAIL name: why" through gimp-message; the last line
; is "PMK-DONE". gimp_plugin_test.sh runs them and checks the exports.

(define (pmk-report name ok why)
  (gimp-message (string-append (if ok "PMK-PASS " "PMK-FAIL ") name (if ok "" (string-append ": " why)))))

; The error text of a call that fails, #f when it succeeds.
(define (pmk-failure-of thunk)
  (let ((message #f))
    (catch #t
      (set! *error-hook* (lambda args (set! message (car args)) (apply throw args)))
      (thunk))
    (set! *error-hook* throw)
    message))

(define (pmk-contains? text part)
  (let ((n (string-length part)) (m (string-length text)))
    (let loop ((i 0))
      (cond ((> (+ i n) m) #f)
            ((string=? (substring text i (+ i n)) part) #t)
            (else (loop (+ i 1)))))))

(define (pmk-load file)
  (let ((image (car (gimp-file-load RUN-NONINTERACTIVE file file))))
    (list image (car (gimp-image-get-active-drawable image)))))

(define (pmk-detect loaded)
  (car (plug-in-pictomarker-detect RUN-NONINTERACTIVE (car loaded) (cadr loaded))))

(define (pmk-sign loaded signature robust)
  (plug-in-pictomarker-sign RUN-NONINTERACTIVE (car loaded) (cadr loaded) signature robust))

(define (pmk-sign2 loaded signature robust web)
  (plug-in-pictomarker-sign2 RUN-NONINTERACTIVE (car loaded) (cadr loaded) signature robust web))

(define (pmk-dirty? loaded) (= (car (gimp-image-is-dirty (car loaded))) TRUE))

(define (pmk-export loaded file)
  (gimp-file-save RUN-NONINTERACTIVE (car loaded) (cadr loaded) file file))

; A call that must fail with `part` in its message and leave the image clean.
(define (pmk-expect-refusal name loaded thunk part)
  (gimp-image-clean-all (car loaded))
  (let ((message (pmk-failure-of thunk)))
    (pmk-report name (and message (pmk-contains? message part) (not (pmk-dirty? loaded)))
                (string-append "message " (if message message "none")
                               (if (pmk-dirty? loaded) ", image changed" "")))))

(define (pmk-run-checks data scratch)
  (let ((photo (pmk-load (string-append data "/kodim23.png"))))
    (pmk-report "unsigned detects nothing" (string=? (pmk-detect photo) "") (pmk-detect photo))
    (for-each
      (lambda (row)
        (pmk-expect-refusal (car row) photo (lambda () (pmk-sign photo (cadr row) FALSE))
                            (caddr row)))
      '(("short signature refused" "abc" "6 characters")
        ("long signature refused" "gimp-26-and-more" "10 letter")))
    (gimp-image-clean-all (car photo))
    (pmk-sign photo "gimp-26" FALSE)
    (pmk-report "sign changes the layer" (pmk-dirty? photo) "image clean after signing")
    (pmk-report "signed detects gimp-26" (string=? (pmk-detect photo) "gimp-26") (pmk-detect photo))
    (pmk-export photo (string-append scratch "/signed.png"))
    (let ((exported (pmk-load (string-append scratch "/signed.png"))))
      (pmk-report "export detects gimp-26" (string=? (pmk-detect exported) "gimp-26")
                  (pmk-detect exported)))
    (pmk-expect-refusal "second sign refused" photo (lambda () (pmk-sign photo "other-26" FALSE))
                        "Cannot sign already signed image!")
    (gimp-image-delete (car photo)))

  (let ((photo (pmk-load (string-append data "/kodim13.png"))))
    (pmk-sign photo "robust-26" TRUE)
    (pmk-report "robust sign detects" (string=? (pmk-detect photo) "robust-26") (pmk-detect photo))
    (gimp-image-clean-all (car photo))
    (plug-in-pictomarker RUN-NONINTERACTIVE (car photo) (cadr photo))
    (pmk-report "filter without dialog changes nothing" (not (pmk-dirty? photo)) "image changed")
    (gimp-image-delete (car photo)))

  ; The sign procedure with both options; the export is shrunk for the web
  ; by gimp_plugin_test.sh, which only the web layer survives.
  (let ((photo (pmk-load (string-append data "/kodim23.png"))))
    (pmk-sign2 photo "web-26" TRUE TRUE)
    (pmk-report "sign2 with web detects" (string=? (pmk-detect photo) "web-26") (pmk-detect photo))
    (pmk-export photo (string-append scratch "/web_signed.png"))
    (gimp-image-delete (car photo)))

  (for-each
    (lambda (row)
      (let ((photo (pmk-load (string-append data "/kodim23.png"))))
        ((cadr row) (car photo))
        (for-each
          (lambda (call)
            (pmk-expect-refusal (string-append (car row) " refused by " (car call)) photo
                                (lambda () ((cadr call) photo)) "8-bit gamma"))
          (list (list "sign" (lambda (p) (pmk-sign p "gimp-26" FALSE)))
                (list "detect" pmk-detect)
                (list "filter" (lambda (p) (plug-in-pictomarker RUN-INTERACTIVE (car p) (cadr p))))))
        (gimp-image-delete (car photo))))
    (list (list "indexed" (lambda (image)
                            (gimp-image-convert-indexed image CONVERT-DITHER-NONE
                                                        CONVERT-PALETTE-GENERATE 255 FALSE FALSE "")))
          (list "16-bit" (lambda (image) (gimp-image-convert-precision image PRECISION-U16-GAMMA)))))

  ; The viewer signs and closes itself (PMK_WINDOW_LOOP_TEST=sign:gimp-26). A
  ; small selection must neither limit the result nor be lost.
  (let ((photo (pmk-load (string-append data "/tulips_rgba.png"))))
    (gimp-image-select-rectangle (car photo) CHANNEL-OP-REPLACE 10 20 30 40)
    (plug-in-pictomarker RUN-INTERACTIVE (car photo) (cadr photo))
    (pmk-report "viewer signs the layer" (string=? (pmk-detect photo) "gimp-26") (pmk-detect photo))
    (pmk-report "viewer keeps the selection"
                (equal? (gimp-selection-bounds (car photo)) '(1 10 20 40 60)) "selection changed")
    (pmk-report "viewer keeps the alpha channel"
                (= (car (gimp-drawable-has-alpha (cadr photo))) TRUE) "alpha channel lost")
    (pmk-export photo (string-append scratch "/viewer_signed.png"))
    (gimp-image-delete (car photo)))
  (gimp-message "PMK-DONE"))
